#include "reload_request.h"

#include <signal.h>

#include <atomic>

namespace zephlor::gateway {
namespace {

std::atomic<bool> reloadAsked{false};

void onHangUp(int) { reloadAsked.store(true); }

}  // namespace

void installReloadHandler() {
  struct sigaction action {};
  action.sa_handler = onHangUp;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGHUP, &action, nullptr);
}

bool takeReloadRequest() { return reloadAsked.exchange(false); }

}  // namespace zephlor::gateway

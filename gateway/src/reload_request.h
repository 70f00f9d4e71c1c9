// SIGHUP asks the gateway to read its configuration again, as daemons do (systemd's
// ExecReload=), instead of stopping it.
#pragma once

namespace zephlor::gateway {

// Routes SIGHUP to the reload request, replacing the stop it asks for in the other tools.
void installReloadHandler();

// Whether a reload was asked for since the last call.
bool takeReloadRequest();

}  // namespace zephlor::gateway

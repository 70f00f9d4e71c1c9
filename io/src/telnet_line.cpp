#include "zephlor_io/telnet_line.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "read_away.h"

namespace zephlor::io {
namespace {

using namespace telnet;

// One telnet connection, either end. Negotiation that arrives while data is read is answered
// on the spot; a request for an option either end cannot do is refused politely.
class TelnetLine : public ByteLine {
 public:
  enum class Role { kClient, kServer };

  TelnetLine(std::unique_ptr<ByteLine> raw, Role role, std::function<void(const std::string&)> log)
      : raw_(std::move(raw)), role_(role), log_(std::move(log)) {}

  // Offers what this end does: BINARY and SUPPRESS-GO-AHEAD both ways, and for a client the
  // COM-PORT-OPTION.
  IoResult offer(Deadline deadline) {
    std::string offers;
    for (unsigned char option : {kBinary, kSuppressGoAhead}) {
      offers += once(kWill, option) + once(kDo, option);
    }
    if (role_ == Role::kClient) offers += once(kWill, kComPortOption);
    return raw_->writeAll(offers.data(), offers.size(), deadline);
  }

  // Reads and answers until `done` holds, dropping any data; what ended it otherwise: the
  // deadline, a stop or a failure.
  IoResult pumpUntil(const std::function<bool()>& done, Deadline deadline) {
    while (!done()) {
      const IoResult got = readOnce(deadline);
      if (got.status != IoStatus::kDone) return got;
      data_.clear();
    }
    return {};
  }

  // Sends telnet commands as they are, not as data.
  IoResult sendWire(const std::string& wire, Deadline deadline) {
    return raw_->writeAll(wire.data(), wire.size(), deadline);
  }

  bool comPortRefused() const { return comPortRefused_; }
  bool comPortAccepted() const { return comPortAccepted_; }
  // The server's answers to COM-PORT-OPTION commands, by command.
  const std::map<unsigned char, std::string>& answers() const { return answers_; }

  IoResult readSome(char* buffer, size_t capacity, Deadline deadline) override {
    while (data_.empty()) {
      const IoResult got = readOnce(deadline);
      if (got.status != IoStatus::kDone) return got;
    }
    IoResult result;
    result.count = std::min(capacity, data_.size());
    std::memcpy(buffer, data_.data(), result.count);
    data_.erase(0, result.count);
    return result;
  }

  IoResult writeAll(const char* data, size_t length, Deadline deadline) override {
    IoResult written = sendWire(escaped(std::string(data, length)), deadline);
    if (written.status == IoStatus::kDone) written.count = length;
    return written;
  }

  IoResult writeWhatFits(const char* data, size_t length) override {
    const std::string wire = escaped(std::string(data, length));
    IoResult written = raw_->writeWhatFits(wire.data(), wire.size());
    // What the line took, in the caller's bytes: all of them, or the part before a cut.
    written.count = written.count == wire.size() ? length : std::min(written.count, length - 1);
    return written;
  }

  // What arrived unasked is thrown away here, and a client asks the device server to throw away
  // what it still holds for us.
  bool discardInput() override {
    // Read away through the decoder what waits, so no telnet sequence is cut in half.
    data_.clear();
    const bool silent = readAway([this](char*, size_t) {
      IoResult got = readOnce(std::chrono::steady_clock::now());
      got.count = data_.size();
      data_.clear();
      return got;
    });
    if (role_ == Role::kClient) {
      const std::string purge = comPortCommand(kPurgeData, std::string(1, '\1'));
      raw_->writeWhatFits(purge.data(), purge.size());
    }
    return silent;
  }

  void discardUnsentOutput() override { raw_->discardUnsentOutput(); }

 private:
  // One read of what arrived: its data kept, its negotiation answered.
  IoResult readOnce(Deadline deadline) {
    char chunk[512];
    const IoResult got = raw_->readSome(chunk, sizeof chunk, deadline);
    if (got.status != IoStatus::kDone) return got;
    Decoder::Output out;
    decoder_.feed(chunk, got.count, out);
    data_ += out.data;
    return answer(out, deadline);
  }

  // IAC `verb` `option`, unless this end said it already: a negotiation never loops.
  std::string once(unsigned char verb, unsigned char option) {
    if (!said_.insert({verb, option}).second) return "";
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
  }

  bool supports(unsigned char option) const {
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
  }

  IoResult answer(const Decoder::Output& out, Deadline deadline) {
    std::string reply;
    for (const Decoder::Command& command : out.commands) {
      const unsigned char option = command.option;
      // The client does the COM-PORT-OPTION (WILL), the server has it done (DO).
      const bool weDo = supports(option) && (option != kComPortOption || role_ == Role::kClient);
      const bool theyDo = supports(option) && (option != kComPortOption || role_ == Role::kServer);
      if (command.verb == kDo) reply += once(weDo ? kWill : kWont, option);
      if (command.verb == kWill) reply += once(theyDo ? kDo : kDont, option);
      if (role_ == Role::kClient && option == kComPortOption) {
        comPortAccepted_ = comPortAccepted_ || command.verb == kDo;
        comPortRefused_ = comPortRefused_ || command.verb == kDont;
      }
    }
    for (const std::string& sub : out.subnegotiations) {
      if (sub.size() < 2 || static_cast<unsigned char>(sub[0]) != kComPortOption) continue;
      const auto command = static_cast<unsigned char>(sub[1]);
      const std::string value = sub.substr(2);
      if (role_ == Role::kClient) {
        if (command >= kServerReply)
          answers_[static_cast<unsigned char>(command - kServerReply)] = value;
      } else {
        reply += serverAnswer(command, value);
      }
    }
    if (reply.empty()) return {};
    return sendWire(reply, deadline);
  }

  // What a device server answers a COM-PORT-OPTION command with: the setting it now has.
  std::string serverAnswer(unsigned char command, const std::string& value) {
    const auto reply = static_cast<unsigned char>(command + kServerReply);
    switch (command) {
      case kSignature:
        return comPortCommand(reply, "zephlor-sim");
      case kSetBaudRate:
        if (value.size() == 4 && fromBigEndian(value) != 0) {
          baud_ = fromBigEndian(value);
          if (log_) log_("the client set the speed to " + std::to_string(baud_) + " baud");
        }
        return comPortCommand(reply, bigEndian32(baud_));
      case kSetDataSize:
      case kSetParity:
      case kSetStopSize:
      case kSetControl: {
        // 0 asks for the setting: 8 data bits, no parity (1), one stop bit (1), no flow
        // control (1).
        const char current = command == kSetDataSize ? '\x08' : '\x01';
        return comPortCommand(
            reply, value.empty() || value[0] == 0 ? std::string(1, current) : value.substr(0, 1));
      }
      default:
        // PURGE-DATA, the masks and the notifications: agreed as asked. (The simulator holds no
        // line data waiting to be sent on, so there is nothing to purge.)
        return comPortCommand(reply, value);
    }
  }

  std::unique_ptr<ByteLine> raw_;
  Role role_;
  std::function<void(const std::string&)> log_;
  Decoder decoder_;
  std::string data_;  // decoded and not yet read
  std::set<std::pair<unsigned char, unsigned char>> said_;
  bool comPortAccepted_ = false;
  bool comPortRefused_ = false;
  std::map<unsigned char, std::string> answers_;
  uint32_t baud_ = 9600;
};

// Why a negotiation that ended early ended, for a person.
std::string endedBecause(const IoResult& result, std::chrono::milliseconds timeout) {
  if (result.status == IoStatus::kTimedOut) {
    return "no answer to the telnet negotiation within " + std::to_string(timeout.count()) + " ms";
  }
  return result.status == IoStatus::kStopped ? "stopped" : result.message;
}

}  // namespace

OpenResult openRfc2217(std::unique_ptr<ByteLine> connection, const std::string& device, int baud,
                       Deadline deadline) {
  const auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  auto line =
      std::make_unique<TelnetLine>(std::move(connection), TelnetLine::Role::kClient, nullptr);
  OpenResult result;
  result.failure = OpenFailure::kOther;
  const TelnetLine& state = *line;
  IoResult step = line->offer(deadline);
  if (step.status == IoStatus::kDone) {
    step = line->pumpUntil([&state] { return state.comPortAccepted() || state.comPortRefused(); },
                           deadline);
  }
  if (step.status != IoStatus::kDone) {
    result.message = "cannot set up " + device + ": " + endedBecause(step, timeout);
    return result;
  }
  if (line->comPortRefused()) {
    result.failure = OpenFailure::kNotFound;
    result.message = device + " does not speak the COM-PORT-OPTION of RFC 2217; for a raw TCP " +
                     "port of the device server use tcp:HOST:PORT";
    return result;
  }
  // The line as the controller expects it, each setting then read back from the server.
  const struct {
    ComPortCommand command;
    std::string value;
    const char* what;
  } settings[] = {
      {kSetBaudRate, bigEndian32(static_cast<uint32_t>(baud)), "speed"},
      {kSetDataSize, std::string(1, '\x08'), "data size"},
      {kSetParity, std::string(1, '\x01'), "parity"},
      {kSetStopSize, std::string(1, '\x01'), "stop size"},
      {kSetControl, std::string(1, '\x01'), "flow control"},
  };
  std::string requests;
  for (const auto& setting : settings) requests += comPortCommand(setting.command, setting.value);
  step = line->sendWire(requests, deadline);
  // Each setting's own answer, not merely five answers: a server may send notifications of its
  // own (line state, modem state) meanwhile.
  const auto answered = [&state](ComPortCommand command) {
    return state.answers().count(command) != 0;
  };
  if (step.status == IoStatus::kDone) {
    step = line->pumpUntil(
        [&] {
          return std::all_of(std::begin(settings), std::end(settings),
                             [&](const auto& setting) { return answered(setting.command); });
        },
        deadline);
  }
  if (step.status == IoStatus::kTimedOut && !answered(kSetBaudRate)) {
    // A speed never confirmed is refused as one confirmed with another value is: the line
    // would run at whatever the server has.
    result.failure = OpenFailure::kNotFound;
    result.message = device + ": the device server did not confirm the speed of " +
                     std::to_string(baud) + " baud within " + std::to_string(timeout.count()) +
                     " ms";
    return result;
  }
  if (step.status != IoStatus::kDone) {
    result.message = "cannot set up " + device + ": " + endedBecause(step, timeout);
    return result;
  }
  for (const auto& setting : settings) {
    const auto answer = line->answers().find(setting.command);
    if (answer == line->answers().end() || answer->second == setting.value) continue;
    if (setting.command == kSetBaudRate) {
      result.failure = OpenFailure::kNotFound;
      result.message = device + ": the device server runs the line at " +
                       std::to_string(fromBigEndian(answer->second)) + " baud, not " +
                       std::to_string(baud);
    } else {
      result.message =
          device + ": the device server did not take the " + setting.what + " (it answered " +
          std::to_string(
              static_cast<unsigned char>(answer->second.empty() ? 0 : answer->second[0])) +
          ")";
    }
    return result;
  }
  result.failure = OpenFailure::kNone;
  result.line = std::move(line);
  return result;
}

std::unique_ptr<ByteLine> serveRfc2217(std::unique_ptr<ByteLine> connection,
                                       std::function<void(const std::string&)> log) {
  auto line = std::make_unique<TelnetLine>(std::move(connection), TelnetLine::Role::kServer,
                                           std::move(log));
  line->offer(std::chrono::steady_clock::now() + std::chrono::seconds(1));
  return line;
}

}  // namespace zephlor::io

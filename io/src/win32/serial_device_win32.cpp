// Serial ports on Windows: CreateFile with no sharing, so a port another program holds cannot be
// opened; the DCB for the line settings, saved and put back on close; COMMTIMEOUTS in short
// slices, so every wait ends at its deadline and looks for a stop request at least every 50 ms.
#include <windows.h>

#include <algorithm>
#include <cctype>

#include "../deadline.h"
#include "system_message.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {
namespace {

constexpr DWORD kSliceMilliseconds = 50;

// COM1 to COM9 open by their names; from COM10 on only through the device namespace, so every
// bare COMn is given its \\.\ prefix.
std::string deviceName(const std::string& path) {
  const bool bareCom = path.size() > 3 && _strnicmp(path.c_str(), "COM", 3) == 0 &&
                       std::all_of(path.begin() + 3, path.end(), [](char c) {
                         return std::isdigit(static_cast<unsigned char>(c));
                       });
  return bareCom ? "\\\\.\\" + path : path;
}

// The slice of the wait until `deadline` to spend in one call: never more than a slice, so a
// stop request is seen in time.
DWORD sliceUntil(Deadline deadline) {
  return static_cast<DWORD>(millisecondsLeft(deadline, kSliceMilliseconds));
}

class ComLine : public ByteLine {
 public:
  ComLine(HANDLE handle, const DCB& saved) : handle_(handle), saved_(saved) {}
  ~ComLine() override {
    SetCommState(handle_, &saved_);
    CloseHandle(handle_);
  }

  IoResult readSome(char* buffer, size_t capacity, Deadline deadline) override {
    IoResult result;
    for (;;) {
      if (stopRequested()) return ended(IoStatus::kStopped);
      // What has arrived is read at once; otherwise one byte is waited for, a slice at a time.
      DWORD errors = 0;
      COMSTAT status{};
      if (!ClearCommError(handle_, &errors, &status)) return failed("the port failed");
      const DWORD waiting = status.cbInQue;
      const DWORD slice = sliceUntil(deadline);
      COMMTIMEOUTS timeouts{};
      if (waiting > 0) {
        timeouts.ReadIntervalTimeout = MAXDWORD;  // return with what is there
      } else {
        timeouts.ReadTotalTimeoutConstant = std::max<DWORD>(slice, 1);
      }
      if (!SetCommTimeouts(handle_, &timeouts)) return failed("the port failed");
      const DWORD wanted = waiting > 0 ? std::min<DWORD>(waiting, static_cast<DWORD>(capacity)) : 1;
      DWORD got = 0;
      if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) return failed("reading failed");
      if (got > 0) {
        result.count = got;
        return result;
      }
      if (slice == 0) return ended(IoStatus::kTimedOut);
    }
  }

  IoResult writeAll(const char* data, size_t length, Deadline deadline) override {
    IoResult result;
    while (result.count < length) {
      if (stopRequested()) {
        result.status = IoStatus::kStopped;
        return result;
      }
      const DWORD slice = sliceUntil(deadline);
      const DWORD written = writeWithin(data + result.count, length - result.count, slice);
      if (written == kWriteFailed) return failed("writing failed", result.count);
      result.count += written;
      if (written == 0 && slice == 0) {
        result.status = IoStatus::kTimedOut;
        return result;
      }
    }
    return result;
  }

  IoResult writeWhatFits(const char* data, size_t length) override {
    IoResult result;
    const DWORD written = writeWithin(data, length, 1);
    if (written == kWriteFailed) return failed("writing failed");
    result.count = written;
    return result;
  }

  bool discardInput() override {
    PurgeComm(handle_, PURGE_RXCLEAR);  // the driver's buffer, at once: nothing can keep it full
    return true;
  }
  void discardUnsentOutput() override { PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR); }

 private:
  static constexpr DWORD kWriteFailed = MAXDWORD;

  static IoResult ended(IoStatus status) {
    IoResult result;
    result.status = status;
    return result;
  }

  static IoResult failed(const char* what, size_t count = 0) {
    IoResult result;
    result.status = IoStatus::kFailed;
    result.count = count;
    result.message = std::string(what) + ": " + systemMessage(GetLastError());
    return result;
  }

  // Bytes written within `milliseconds` (at least one), or kWriteFailed.
  DWORD writeWithin(const char* data, size_t length, DWORD milliseconds) {
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = std::max<DWORD>(milliseconds, 1);
    DWORD written = 0;
    if (!SetCommTimeouts(handle_, &timeouts) ||
        !WriteFile(handle_, data, static_cast<DWORD>(length), &written, nullptr)) {
      return kWriteFailed;
    }
    return written;
  }

  HANDLE handle_;
  DCB saved_;
};

OpenFailure classifyOpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return OpenFailure::kNotFound;
    // A port another program holds is refused as access denied; sharing it is what matters.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return OpenFailure::kInUse;
    default:
      return OpenFailure::kOther;
  }
}

}  // namespace

OpenResult openSerialDevice(const std::string& path, int baud) {
  OpenResult result;
  const std::string name = deviceName(path);
  HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* no sharing */,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    result.failure = classifyOpenError(error);
    result.message = result.failure == OpenFailure::kInUse
                         ? path + " is in use by another program (" + systemMessage(error) + ")"
                         : "cannot open " + path + ": " + systemMessage(error);
    return result;
  }
  DCB saved{};
  saved.DCBlength = sizeof saved;
  if (!GetCommState(handle, &saved)) {
    result.failure = OpenFailure::kNotSerial;
    result.message = path + " is not a serial port: " + systemMessage(GetLastError());
    CloseHandle(handle);
    return result;
  }
  auto line = std::make_unique<ComLine>(handle, saved);
  DCB settings = saved;
  settings.BaudRate = static_cast<DWORD>(baud);
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  settings.StopBits = ONESTOPBIT;
  settings.fBinary = TRUE;
  settings.fParity = FALSE;
  settings.fOutxCtsFlow = FALSE;
  settings.fOutxDsrFlow = FALSE;
  settings.fDtrControl = DTR_CONTROL_ENABLE;
  settings.fRtsControl = RTS_CONTROL_ENABLE;
  settings.fDsrSensitivity = FALSE;
  settings.fOutX = FALSE;
  settings.fInX = FALSE;
  settings.fNull = FALSE;
  settings.fAbortOnError = FALSE;
  if (!SetCommState(handle, &settings)) {
    result.failure = OpenFailure::kNotSerial;
    result.message = "cannot set up " + path + ": " + systemMessage(GetLastError());
    return result;
  }
  result.line = std::move(line);
  return result;
}

const char* permissionAdvice() { return "is the port reserved by a service or another user?"; }

std::unique_ptr<ByteLine> openPseudoTerminal(std::string&, std::string& error) {
  error = "Windows has no pseudo-terminals; give a pair of virtual COM ports (com0com) instead";
  return nullptr;
}

}  // namespace zephlor::io

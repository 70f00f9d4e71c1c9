// Windows' own words for an error code, as a person reads them: "Access is denied (5)".
#pragma once

#include <windows.h>

#include <string>

namespace zephlor::io {

inline std::string systemMessage(DWORD error, const char* fallback = "error") {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return (message.empty() ? fallback : message) + " (" + std::to_string(error) + ")";
}

}  // namespace zephlor::io

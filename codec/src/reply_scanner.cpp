#include "reply_scanner.h"

namespace wirelex {
namespace {

bool isWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* skipWhiteSpace(const char* text) {
  while (isWhiteSpace(*text)) ++text;
  return text;
}

// Matches `pattern` at `text`; returns the position after it, or null when it does not match.
const char* matchLiteral(const char* text, const char* pattern) {
  for (; *pattern != '\0'; ++pattern) {
    if (isWhiteSpace(*pattern)) {
      text = skipWhiteSpace(text);
    } else if (*text == *pattern) {
      ++text;
    } else {
      return nullptr;
    }
  }
  return text;
}

// Converts one decimal field; returns the position after it, or null when there is none or it
// does not fit in 32 bits.
const char* readField(const char* text, int32_t* field) {
  text = skipWhiteSpace(text);
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  if (*text < '0' || *text > '9') return nullptr;
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    magnitude = magnitude * 10 + (*text - '0');
    if (magnitude > limit) return nullptr;
  }
  *field = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return text;
}

}  // namespace

int scanReply(const Exchange& exchange, const char* reply, int32_t fields[kMaxReplyFields]) {
  const char frame[] = {'R', exchange.mnemonic[0], exchange.mnemonic[1], '#', '\0'};
  const char* text = matchLiteral(reply, frame);
  for (int converted = 0; converted < exchange.replyFields; ++converted) {
    const char* separator =
        exchange.replySeparators != nullptr ? exchange.replySeparators[converted] : " ";
    if (text != nullptr) text = matchLiteral(text, separator);
    if (text != nullptr) text = readField(text, &fields[converted]);
    if (text == nullptr) return converted;
  }
  return exchange.replyFields;
}

}  // namespace wirelex

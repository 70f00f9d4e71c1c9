#include "request_builder.h"

namespace wirelex {
namespace {

// Appends `number` in plain decimal: no leading zeros, no plus sign, a minus sign when negative.
char* appendDecimal(char* out, int32_t number) {
  // The magnitude is taken in unsigned arithmetic so that INT32_MIN needs no special case.
  uint32_t magnitude = static_cast<uint32_t>(number);
  if (number < 0) {
    *out++ = '-';
    magnitude = 0u - magnitude;
  }
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10u);
    magnitude /= 10u;
  } while (magnitude != 0u);
  while (count > 0) *out++ = digits[--count];
  return out;
}

char* appendField(char* out, int32_t number) {
  *out++ = ' ';
  return appendDecimal(out, number);
}

int32_t lowByte(int32_t number) { return static_cast<int32_t>(number & 0xFF); }

}  // namespace

int32_t buildRequest(ExchangeId id, const RequestNumbers& numbers, char* line,
                     int32_t* lineLength) {
  const Exchange& exchange = exchangeFor(id);
  char* out = line;
  *out++ = 'V';
  *out++ = exchange.mnemonic[0];
  *out++ = exchange.mnemonic[1];
  *out++ = '#';
  for (int i = 0; i < exchange.addressCount; ++i)
    out = appendField(out, lowByte(numbers.addresses[i]));
  switch (exchange.setValue) {
    case SetValue::kNone:
      break;
    case SetValue::kByte:
      out = appendField(out, lowByte(numbers.setValue));
      break;
    case SetValue::kWhole:
      out = appendField(out, numbers.setValue);
      break;
  }
  // A modifier of 0 (after reduction to 16 bits) means "none": the short form of the line.
  const int32_t modifier = static_cast<int32_t>(numbers.modifier & 0xFFFF);
  if (exchange.takesModifier && modifier != 0) out = appendField(out, modifier);
  *out++ = '\r';
  *out++ = '\n';
  *out = '\0';
  const int32_t length = static_cast<int32_t>(out - line);
  *lineLength = length;
  return length;
}

}  // namespace wirelex

// For each item kind, the codec calls that serve it and the address bytes that name it.
#pragma once

#include <stdint.h>

#include "osterfell/host_records.h"

namespace osterfell {

using QueryBuilder = int32_t (*)(const IA::Fields& item, char* line, int32_t* lineLength);
using QueryParser = bool (*)(const char* reply, int32_t* out);
using SetBuilder = int32_t (*)(const IA::Fields& item, int32_t value, int32_t modifier, char* line,
                               int32_t* lineLength);
using AcknowledgementParser = bool (*)(const char* reply, int32_t expected);

// How a kind is read: the query line's builder and the reply's parser.
struct Read {
  QueryBuilder build;  // null: the kind is not read through a line
  QueryParser parse;   // null for the firmware query, whose reply fills five records
};

// How a kind is written: the set line's builder and the acknowledgement's judge.
struct Write {
  SetBuilder build;  // null: the kind is not written through a line
  AcknowledgementParser acknowledge;
};

constexpr Read kNotReadable{nullptr, nullptr};
constexpr Write kNotWritable{nullptr, nullptr};

struct KindOps {
  ItemKind kind;
  // How many address bytes, from addr1 on, the kind's commands carry; two items of the kind
  // that share them are addressed alike.
  uint8_t addressCount;
  Read read;
  Write write;
};

// The operations of `kind`, or null for a kind the driver does not serve (10 to 255).
const KindOps* opsForKind(unsigned char kind);

}  // namespace osterfell

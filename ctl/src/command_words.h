// The words of one command after its verb, read front to back by the verb's reader.
#pragma once

#include <string>
#include <vector>

#include "items.h"
#include "zephlor_text/visible_bytes.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::ctl {

// The words after the verb, read front to back. Every reader that fails says why in `error`.
class CommandWords {
 public:
  CommandWords(const std::vector<std::string>& words, std::string& error)
      : words_(words), error_(error) {}

  bool done() const { return at_ >= words_.size(); }
  const std::string& next() const { return words_[at_]; }
  std::string take() { return words_[at_++]; }

  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  // A whole number from `low` to `high`; `what` names it in the failure.
  bool takeNumber(long long low, long long high, long long& out, const std::string& what) {
    if (done() || !text::parseBounded(next(), low, high, out)) {
      return fail(what + " takes a whole number from " + std::to_string(low) + " to " +
                  std::to_string(high));
    }
    ++at_;
    return true;
  }

  // An item of a kind that can be read (or, with `forWrite`, written).
  bool takeItem(bool forWrite, Item& item) {
    std::optional<Item> parsed = parseItem(words_, at_, error_);
    if (!parsed) return false;
    if (!forWrite && !parsed->kind->readable) {
      return fail(std::string(parsed->kind->name) + " items cannot be read, only written");
    }
    if (forWrite && !parsed->kind->writable) {
      return fail(std::string(parsed->kind->name) + " items cannot be written, only read");
    }
    item = *parsed;
    return true;
  }

  // Fails if words are left over.
  bool finish(const std::string& verb) {
    return done() ||
           fail("unexpected " + text::quotedBytes(next()) + " after the " + verb + " command");
  }

 private:
  const std::vector<std::string>& words_;
  std::string& error_;
  size_t at_ = 1;  // past the verb
};

}  // namespace zephlor::ctl

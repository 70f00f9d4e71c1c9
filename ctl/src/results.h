// What zephlorctl reports, in the chosen format: text for a person (each command prints its own
// lines), or one record per sample for files and spreadsheets: CSV with one header line, or JSON
// Lines. A record holds the time, a value per column (an item as typed, such as
// "station-level 1 2 3"), what failed in words, and its cause by the verdict's name, for
// programs. Each line is flushed as it is written.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "options.h"
#include "output_file.h"
#include "zephlor_text/timestamp.h"

namespace zephlor::ctl {

// A value as the results show it: its text, and the number it is, if it is one.
struct Value {
  std::string text;
  std::optional<double> number;  // JSON writes this when it is there
  // JSON writes these as an object instead, when there are any (the firmware's parts).
  std::vector<std::pair<std::string, std::variant<std::string, double>>> fields;
};

struct Reading {
  std::string column;
  Value value;          // empty when it failed
  std::string failure;  // what failed; empty when nothing did
  std::string warning;  // what was let through (--lenient); empty when nothing was
  std::string cause;    // the failure's verdict by its name (no-reply, another-item, ...)
};

using text::timestampNow;

class Results {
 public:
  // `file`, when the results go to --output, tells whether it held records already.
  Results(Format format, std::ostream& out, OutputFile* file = nullptr, bool quiet = false,
          bool localTime = false)
      : format_(format), out_(out), file_(file), quiet_(quiet), localTime_(localTime) {}

  bool machineReadable() const { return format_ != Format::kText; }
  // --quiet: values alone in the text, and no summaries.
  bool quiet() const { return quiet_; }
  // Whether the records go to a file (--output) rather than to the terminal.
  bool toFile() const { return file_ != nullptr; }
  std::ostream& text() { return out_; }

  // The columns the records of this run may have, in order: the CSV header. Records fill those
  // they have and leave the others empty. Columns changed after a record start a new header.
  void setColumns(std::vector<std::string> columns);

  // One record, stamped with `time` (when its sample began).
  void record(const std::vector<Reading>& readings, std::chrono::system_clock::time_point time);
  void record(const std::vector<Reading>& readings) {
    record(readings, std::chrono::system_clock::now());
  }

  // Why the results could not be written, and the exit status that gives (11 for an output
  // another run holds, 12 otherwise).
  ExitCode writeFailure(std::string& message) const;

 private:
  Format format_;
  std::ostream& out_;
  OutputFile* file_;
  bool quiet_;
  bool localTime_;
  std::vector<std::string> columns_;
  // Each column's positions, by name: an item named twice has a column for each reading.
  std::unordered_map<std::string, std::vector<size_t>> positions_;
  bool headerWritten_ = false;
  bool headerDue_ = false;
};

// A CSV field as RFC 4180 has it: quoted when it holds a comma, a quote or a line end.
std::string csvField(const std::string& text);

}  // namespace zephlor::ctl

// The results file of --output. It is taken (held for this run alone, so a second zephlorctl on
// the same file is refused, "output in use", before anything is sent) only once the line is
// open, and what it held is replaced only when the first result is written: a run refused or
// stopped before it has a result (no device, no plug-in, a device in use, Ctrl-C) leaves an
// existing file exactly as it was. With --append nothing is replaced.
#pragma once

#include <memory>
#include <streambuf>
#include <string>

#include "zephlor_facts/exit_codes.h"
#include "zephlor_io/kept_files.h"

namespace zephlor::ctl {

class OutputFile : public std::streambuf {
 public:
  OutputFile(std::string path, bool append);
  ~OutputFile() override;

  // Opens and holds the file unless that is done already; false, with `failure`, when it cannot.
  bool open();
  // Whether the records written start the file (a CSV header belongs there), or follow earlier
  // ones (--append).
  bool startsTheFile() const { return !append_ || (file_ && file_->heldNothing()); }

  // What went wrong with the file, and the exit status it gives; kSuccess when nothing did.
  ExitCode failureCode() const;
  std::string failure() const;

 protected:
  int_type overflow(int_type c) override;
  int sync() override;

 private:
  bool flushBuffer();

  std::string path_;
  bool append_;
  bool cleared_ = false;
  std::unique_ptr<io::ResultsFile> file_;
  io::FileStatus status_;
  char buffer_[4096];
};

}  // namespace zephlor::ctl

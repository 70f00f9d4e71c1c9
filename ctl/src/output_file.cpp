#include "output_file.h"

namespace zephlor::ctl {

OutputFile::OutputFile(std::string path, bool append) : path_(std::move(path)), append_(append) {
  setp(buffer_, buffer_ + sizeof buffer_);
}

OutputFile::~OutputFile() { sync(); }

bool OutputFile::open() {
  if (file_) return true;
  if (!status_.ok()) return false;
  file_ = io::openResultsFile(path_, status_);
  return file_ != nullptr;
}

ExitCode OutputFile::failureCode() const {
  if (status_.ok()) return kSuccess;
  return status_.failure == io::FileFailure::kInUse ? kDeviceInUse : kOutputFailed;
}

std::string OutputFile::failure() const {
  return (status_.failure == io::FileFailure::kInUse ? "output in use: " : "") + status_.message;
}

bool OutputFile::flushBuffer() {
  const auto length = static_cast<size_t>(pptr() - pbase());
  if (length == 0) return status_.ok();
  if (!open()) return false;
  setp(buffer_, buffer_ + sizeof buffer_);
  if (!append_ && !cleared_) {
    status_ = file_->clear();
    cleared_ = true;
    if (!status_.ok()) return false;
  }
  status_ = file_->write(buffer_, length);
  return status_.ok();
}

OutputFile::int_type OutputFile::overflow(int_type c) {
  if (!flushBuffer()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int OutputFile::sync() { return flushBuffer() ? 0 : -1; }

}  // namespace zephlor::ctl

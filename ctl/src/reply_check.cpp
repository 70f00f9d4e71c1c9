#include "reply_check.h"

#include <sstream>
#include <vector>

#include "zephlor_host/visible_bytes.h"

namespace zephlor::ctl {
namespace {

// The blank-separated words after "#", up to the line end.
std::vector<std::string> fieldsOf(const std::string& line) {
  std::istringstream words(line.substr(line.find('#') + 1));
  std::vector<std::string> fields;
  for (std::string word; words >> word;) fields.push_back(word);
  return fields;
}

std::string joined(const std::vector<std::string>& fields, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && i < fields.size(); ++i) text += (i == 0 ? "" : " ") + fields[i];
  return text;
}

}  // namespace

std::optional<std::string> replyDifference(const std::string& request, const std::string& reply,
                                           int addressCount, bool firmware) {
  if (request.size() < 4 || reply.size() < 4 || reply.compare(1, 3, request, 1, 3) != 0) {
    return "reply " + host::quotedBytes(reply.substr(0, 4)) + " does not answer " +
           host::quotedBytes(request.substr(0, 4));
  }
  const std::vector<std::string> asked = fieldsOf(request);
  const std::vector<std::string> answered = fieldsOf(reply);
  const auto count = static_cast<size_t>(addressCount);
  if (joined(answered, count) != joined(asked, count)) {
    return "reply names addresses " + host::visibleBytes(joined(answered, count)) +
           ", request was " + joined(asked, count);
  }
  if (firmware) return std::nullopt;
  // Exactly the addresses and the value, each after one blank, then CR LF.
  const std::string expected = reply.substr(0, 4) + " " + joined(answered, count + 1) + "\r\n";
  if (answered.size() != count + 1 || reply != expected) {
    return "reply carries more than its fields and CR LF: " + host::quotedBytes(reply);
  }
  return std::nullopt;
}

}  // namespace zephlor::ctl

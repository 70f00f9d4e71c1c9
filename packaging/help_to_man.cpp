// Makes a tool's man page from its --help, so the page never says other than the help: the usage
// line becomes the SYNOPSIS, the text before the first heading the DESCRIPTION, each "Heading:"
// a section (the option groups subsections of OPTIONS), each two-column row a tagged paragraph,
// the examples a literal block. NAME, FILES and SEE ALSO come from a small file of the page's
// own, whose [SECTION] lines start each part.
//   help_to_man TOOL_PATH VERSION EXTRA_FILE > page.1
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Text for roff: backslashes doubled, a leading dot or quote kept from being a request, and
// the dash of an option (a word that starts with one) written as a minus.
std::string roff(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool wordStart = i == 0 || text[i - 1] == ' ' || text[i - 1] == '(' ||
                           text[i - 1] == '[' || text[i - 1] == '|' || text[i - 1] == '-';
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-' && wordStart) {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

size_t indentOf(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? line.size() : first;
}

// The section a heading of the help belongs in, and its subsection, if any.
std::pair<std::string, std::string> placeOf(const std::string& heading) {
  static const std::map<std::string, std::pair<std::string, std::string>> kPlaces = {
      {"Commands", {"COMMANDS", ""}},
      {"Script commands, besides info, read, write and poll", {"COMMANDS", "In scripts"}},
      {"Items", {"ITEMS", ""}},
      {"The line", {"OPTIONS", "The line"}},
      {"Results", {"OPTIONS", "Results"}},
      {"Other", {"OPTIONS", "Other"}},
      {"Where it listens (one of)", {"OPTIONS", "Where it listens"}},
      {"The controller", {"OPTIONS", "The controller"}},
      {"Faults, drawn per reply from a seeded generator so a run repeats exactly",
       {"OPTIONS", "Faults"}},
      {"Environment", {"ENVIRONMENT", ""}},
      {"Exit status", {"EXIT STATUS", ""}},
      {"Examples", {"EXAMPLES", ""}},
  };
  const auto found = kPlaces.find(heading);
  if (found != kPlaces.end()) return found->second;
  return {upper(heading), ""};
}

// The parts of the page's own file, by section name.
std::map<std::string, std::string> readExtra(const char* path) {
  std::ifstream file(path);
  std::map<std::string, std::string> parts;
  std::string line, section;
  while (std::getline(file, line)) {
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
    } else if (!section.empty()) {
      parts[section] += line + "\n";
    }
  }
  return parts;
}

class Page {
 public:
  void heading(const std::string& name) {
    close();
    if (name != section_) std::cout << ".SH " << name << "\n";
    section_ = name;
  }
  void subheading(const std::string& name) {
    close();
    std::cout << ".SS " << roff(name) << "\n";
  }
  void paragraph(const std::string& text) { inBlock(State::kParagraph, ".PP\n", text); }
  void row(const std::string& label) {
    close();
    std::cout << ".TP\n.B " << roff(label) << "\n";
    state_ = State::kRow;
  }
  void rowText(const std::string& text) { std::cout << roff(text) << "\n"; }
  void literal(const std::string& text) { inBlock(State::kLiteral, ".PP\n.nf\n", text); }
  void close() {
    if (state_ == State::kLiteral) std::cout << ".fi\n";
    state_ = State::kNone;
  }
  bool inRow() const { return state_ == State::kRow; }
  const std::string& section() const { return section_; }

 private:
  enum class State { kNone, kParagraph, kRow, kLiteral };

  // A line of a block of running text or of a literal one, which `opening` starts.
  void inBlock(State block, const char* opening, const std::string& text) {
    if (state_ != block) {
      close();
      std::cout << opening;
      state_ = block;
    }
    std::cout << roff(text) << "\n";
  }

  State state_ = State::kNone;
  std::string section_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: help_to_man TOOL_PATH VERSION EXTRA_FILE > page.1" << std::endl;
    return 2;
  }
  const std::string path = argv[1];
  const std::string tool = path.substr(path.find_last_of('/') + 1);
  std::map<std::string, std::string> extra = readExtra(argv[3]);
  std::vector<std::string> lines;
  FILE* help = popen(("'" + path + "' --help").c_str(), "r");
  if (help == nullptr) return 1;
  std::string text;
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, help)) > 0;) text.append(chunk, got);
  if (pclose(help) != 0) {
    std::cerr << "help_to_man: " << path << " --help failed" << std::endl;
    return 1;
  }
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  if (lines.empty() || !startsWith(lines[0], "Usage: " + tool)) {
    std::cerr << "help_to_man: the help does not start with a usage line" << std::endl;
    return 1;
  }

  std::cout << ".TH " << upper(tool) << " 1 \"\" \"" << tool << " " << argv[2]
            << "\" \"User Commands\"\n";
  std::cout << ".SH NAME\n" << extra["NAME"];
  std::cout << ".SH SYNOPSIS\n.B " << tool << "\n"
            << roff(lines[0].substr(7 + tool.size() + 1)) << "\n";
  Page page;
  page.heading("DESCRIPTION");
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) {
      page.close();
      continue;
    }
    const size_t indent = indentOf(line);
    if (indent == 0 && line.back() == ':') {
      // "Heading:", or "Heading: its introduction:".
      const size_t colon = line.find(':');
      const auto [section, subsection] = placeOf(line.substr(0, colon));
      page.heading(section);
      if (!subsection.empty()) page.subheading(subsection);
      if (colon + 2 < line.size()) page.paragraph(line.substr(colon + 2));
      continue;
    }
    if (indent == 0) {
      page.paragraph(line);
    } else if (page.section() == "EXAMPLES") {
      page.literal(line.substr(2));
    } else if (indent >= 6 && page.inRow()) {
      page.rowText(line.substr(indent));
    } else {
      // A row: its label, then (after two blanks or more) the start of its text, if any.
      const size_t gap = line.find("  ", indent);
      page.row(line.substr(indent, gap == std::string::npos ? std::string::npos : gap - indent));
      if (gap != std::string::npos) page.rowText(line.substr(line.find_first_not_of(' ', gap)));
    }
  }
  page.close();
  for (const char* section : {"FILES", "SEE ALSO"}) {
    if (extra.count(section) != 0) std::cout << ".SH " << section << "\n" << extra[section];
  }
  return 0;
}

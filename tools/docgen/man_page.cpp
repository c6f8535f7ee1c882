#include "man_page.hpp"

#include <cctype>

namespace plinthar::docgen {
namespace {

// One line of `text` safe in roff running text: backslashes and hyphens escaped, and a
// start that would read as a request guarded.
std::string roff(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return (out.starts_with(".") || out.starts_with("'")) ? "\\&" + out : out;
}

// `text` with each line break starting a new paragraph.
std::string paragraphs(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    out += roff(text.substr(start, end - start)) + "\n.PP\n";
    start = end + 1;
  }
  return out + roff(text.substr(start)) + "\n";
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string option_heading(const OptionDoc& option) {
  std::string heading;
  for (const std::string& name : option.names) {
    heading += (heading.empty() ? "" : ", ") + ("\\fB" + roff(name) + "\\fR");
  }
  if (!option.value_name.empty()) heading += " \\fI" + roff(option.value_name) + "\\fR";
  return heading;
}

std::string option_text(const OptionDoc& option) {
  std::string notes;
  if (option.required) notes = "required";
  if (!option.default_text.empty()) {
    notes += (notes.empty() ? "default: " : ", default: ") + option.default_text;
  }
  std::string text = option.help;
  if (!notes.empty()) text += (text.empty() ? "(" : " (") + notes + ")";
  return ".TP\n" + option_heading(option) + "\n" + roff(text) + "\n";
}

std::string usage(const std::vector<std::string>& path, const CommandDoc& command,
                  const std::string& program) {
  std::string line = "\\fB" + roff(program);
  for (const std::string& word : path) line += " " + roff(word);
  line += "\\fR";
  for (const OptionDoc& option : command.options) {
    std::string item = "\\fB" + roff(long_name(option)) + "\\fR";
    if (!option.value_name.empty()) item += " \\fI" + roff(option.value_name) + "\\fR";
    line += option.required ? " " + item : " [" + item + "]";
  }
  if (!command.subcommands.empty()) line += " \\fICOMMAND\\fR ...";
  return line + "\n";
}

std::string pairs_section(const std::string& title,
                          const std::vector<std::pair<std::string, std::string>>& pairs) {
  if (pairs.empty()) return {};
  std::string text = ".SH " + title + "\n";
  for (const auto& [name, meaning] : pairs) {
    text += ".TP\n\\fB" + roff(name) + "\\fR\n" + roff(meaning) + "\n";
  }
  return text;
}

}  // namespace

std::string man_page(const CommandDoc& program, const ManualNotes& notes,
                     const std::string& version) {
  std::string page =
      ".TH " + upper(program.name) + " 1 \"\" \"plinthar " + version + "\" \"User Commands\"\n";
  page += ".SH NAME\n" + roff(program.name) + " \\- " + roff(program.help) + "\n";
  page += ".SH SYNOPSIS\n";
  const auto commands = all_commands(program);
  for (const CommandAt& at : commands) {
    if (at.path.empty() || at.command->subcommands.empty()) {
      page += (&at == &commands.front() ? "" : ".br\n") + usage(at.path, *at.command, program.name);
    }
  }
  page += ".SH DESCRIPTION\n" + paragraphs(notes.description);
  page += ".SH OPTIONS\n";
  for (const OptionDoc& option : program.options) page += option_text(option);
  if (commands.size() > 1) page += ".SH COMMANDS\n";
  for (const CommandAt& at : commands) {
    if (at.path.empty()) continue;
    std::string name;
    for (const std::string& word : at.path) name += (name.empty() ? "" : " ") + word;
    page += ".SS \"" + roff(name) + "\"\n" + roff(at.command->help) + "\n";
    for (const OptionDoc& option : at.command->options) page += option_text(option);
  }
  page += pairs_section("ENVIRONMENT", notes.environment);
  page += pairs_section("FILES", notes.files);
  page += ".SH \"EXIT STATUS\"\n" + roff(notes.exit_status) + "\n";
  page += ".SH \"SEE ALSO\"\n" + roff(notes.see_also) + "\n";
  return page;
}

}  // namespace plinthar::docgen

#pragma once

// A program's command line as the generated documentation needs it, read from the
// parser the program itself builds, so that manual pages and completions follow every
// change to the command table.

#include <string>
#include <vector>

namespace CLI {
class App;
}  // namespace CLI

namespace plinthar::docgen {

struct OptionDoc {
  std::vector<std::string> names;  // "-h", "--help"
  std::string help;
  std::string value_name;  // "TEXT", "INT"; empty for a flag
  std::string default_text;
  bool required = false;
};

struct CommandDoc {
  std::string name;  // the program's or the subcommand's
  std::string help;
  std::vector<OptionDoc> options;
  std::vector<CommandDoc> subcommands;
};

CommandDoc describe(const CLI::App& app);

// The longest name of an option: "--help" for -h/--help.
const std::string& long_name(const OptionDoc& option);

// Every command below `root` with the names leading to it from the program ("hook",
// "prompt"), parents before children; the program itself first, with no names.
struct CommandAt {
  std::vector<std::string> path;
  const CommandDoc* command;
};
std::vector<CommandAt> all_commands(const CommandDoc& root);

}  // namespace plinthar::docgen

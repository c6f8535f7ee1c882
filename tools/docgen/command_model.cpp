#include "command_model.hpp"

#include <CLI/CLI.hpp>

namespace plinthar::docgen {
namespace {

OptionDoc describe(const CLI::Option& option) {
  OptionDoc doc;
  for (const std::string& name : option.get_snames()) doc.names.push_back("-" + name);
  for (const std::string& name : option.get_lnames()) doc.names.push_back("--" + name);
  doc.help = option.get_description();
  if (option.get_items_expected_max() != 0) doc.value_name = option.get_type_name();
  doc.default_text = option.get_default_str();
  doc.required = option.get_required();
  return doc;
}

void collect(const CommandDoc& command, std::vector<std::string>& path,
             std::vector<CommandAt>& out) {
  out.push_back({path, &command});
  for (const CommandDoc& sub : command.subcommands) {
    path.push_back(sub.name);
    collect(sub, path, out);
    path.pop_back();
  }
}

}  // namespace

CommandDoc describe(const CLI::App& app) {
  CommandDoc doc{app.get_name(), app.get_description(), {}, {}};
  for (const CLI::Option* option : app.get_options()) doc.options.push_back(describe(*option));
  for (const CLI::App* sub : app.get_subcommands({})) doc.subcommands.push_back(describe(*sub));
  return doc;
}

const std::string& long_name(const OptionDoc& option) { return option.names.back(); }

std::vector<CommandAt> all_commands(const CommandDoc& root) {
  std::vector<CommandAt> out;
  std::vector<std::string> path;
  collect(root, path, out);
  return out;
}

}  // namespace plinthar::docgen

// The generated completions and manual pages, read by the shells and by groff as a user's
// machine would read them.

#include <set>
#include <string>

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include "completions.hpp"
#include "man_page.hpp"
#include "plinthar/query/cli/command_line.hpp"
#include "test_util.hpp"

namespace plinthar::docgen {
namespace {
namespace fs = std::filesystem;

CommandDoc crv_model() {
  CommandDoc model;
  query::Locations locations;
  query::visit_grammar(locations, [&model](const CLI::App& app) { model = describe(app); });
  return model;
}

bool have(const std::string& program) {
  return testing::run_command(".", "command -v " + program).status == 0;
}

// What bash completes for the last of `words` (shell words; "\"\"" for an empty one), as
// a set.
std::set<std::string> bash_completes(const fs::path& script, const std::string& words) {
  const auto result = testing::run_command(
      ".", "bash -c 'source \"" + script.string() + "\"; COMP_WORDS=(" + words +
               "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _crv; printf \"%s\\n\" "
               "\"${COMPREPLY[@]}\"'");
  std::set<std::string> completions;
  std::size_t start = 0;
  for (std::size_t end; (end = result.out.find('\n', start)) != std::string::npos;
       start = end + 1) {
    if (end > start) completions.insert(result.out.substr(start, end - start));
  }
  return completions;
}

TEST(Docgen, BashCompletesTheSubcommandsAndOptionsOfEveryCommand) {
  const CommandDoc model = crv_model();
  testing::TempDir dir;
  const fs::path script = dir.write("crv.bash", bash_completion(model));
  for (const CommandAt& at : all_commands(model)) {
    std::string words = "crv";
    for (const std::string& word : at.path) words += " " + word;
    std::set<std::string> expected;
    for (const OptionDoc& option : at.command->options)
      expected.insert(option.names.begin(), option.names.end());
    for (const CommandDoc& sub : at.command->subcommands) expected.insert(sub.name);
    EXPECT_EQ(bash_completes(script, words + " \"\""), expected) << words;
  }
  dir.write("graph-out.json", "");
  EXPECT_EQ(bash_completes(script, "crv scan --out " + (dir / "graph-").string()),
            std::set<std::string>{(dir / "graph-out.json").string()});
  EXPECT_EQ(bash_completes(script, "crv hook prompt --max-chars \"\""), std::set<std::string>{});
}

TEST(Docgen, ShellsAndGroffAcceptTheGeneratedFiles) {
  const CommandDoc model = crv_model();
  testing::TempDir dir;
  int checked = 0;
  const struct {
    const char* program;
    std::string command;
    std::string text;
  } readers[] = {
      {"zsh", "zsh -n", zsh_completion(model)},
      {"fish", "fish --no-execute", fish_completion(model)},
      {"groff", "groff -man -ww -z", man_page(model, {"d", {}, {}, "0", "x(1)"}, "1.0")},
  };
  for (const auto& reader : readers) {
    if (!have(reader.program)) continue;
    const fs::path file = dir.write(reader.program, reader.text);
    const auto result = testing::run_command(".", reader.command + " '" + file.string() + "'");
    EXPECT_EQ(result.status, 0) << reader.program << ": " << result.err;
    EXPECT_EQ(result.err, "") << reader.program;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "none of zsh, fish and groff is installed";
}

}  // namespace
}  // namespace plinthar::docgen

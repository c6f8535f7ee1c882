#include "plinthar/query/cli/command_line.hpp"

#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/query/commands/prime_command.hpp"
#include "plinthar/query/commands/retrieve_command.hpp"
#include "plinthar/query/commands/scan_command.hpp"
#include "plinthar/query/data/action_log.hpp"
#include "plinthar/query/hooks/hook_prompt_command.hpp"
#include "plinthar/query/hooks/hook_tool_command.hpp"
#include "plinthar/version.hpp"

namespace plinthar::query {
namespace {

Locations fixed_locations() {
  Locations locations;
  locations.base_dir = "/opt/crv";
  locations.data_dir = "/opt/crv/data";
  locations.graph_json = "/opt/crv/data/info_graph.json";
  locations.default_root = "/projects/shop";
  return locations;
}

struct Parsed {
  ParseOutcome outcome;
  std::string out;
  std::string err;
};

Parsed parse(std::vector<const char*> words) {
  words.insert(words.begin(), "crv");
  std::ostringstream out;
  std::ostringstream err;
  Parsed parsed;
  parsed.outcome =
      parse_command_line(static_cast<int>(words.size()), words.data(), fixed_locations(), out, err);
  parsed.out = out.str();
  parsed.err = err.str();
  return parsed;
}

TEST(CommandLine, RejectedCommandLinesGiveUsageAndStatusTwo) {
  struct Row {
    const char* name;
    std::vector<const char*> words;
    const char* usage;
  };
  const Row rows[] = {
      {"no subcommand",
       {},
       "usage: crv [-h] [--version] {scan,retrieve,prime,action,stats,hook,mcp,setup} ...\n"},
      {"unknown subcommand",
       {"bogus"},
       "usage: crv [-h] [--version] {scan,retrieve,prime,action,stats,hook,mcp,setup}"},
      {"action alone", {"action"}, "usage: crv action [-h] {log} ...\n"},
      {"log without kind", {"action", "log"}, "usage: crv action log [-h] --kind KIND"},
      {"retrieve without query", {"retrieve"}, "usage: crv retrieve [-h] --query QUERY"},
      {"word for an integer", {"retrieve", "--query", "q", "--top-files", "ten"}, "usage: "},
      {"float for an integer", {"prime", "--recent-actions", "1.5"}, "usage: crv prime"},
      {"unknown option", {"stats", "--verbose"}, "usage: crv stats [-h] [--json]\n"},
      {"missing value", {"prime", "--query"}, "usage: crv prime"},
  };
  for (const Row& row : rows) {
    const Parsed parsed = parse(row.words);
    EXPECT_FALSE(parsed.outcome.args) << row.name;
    EXPECT_EQ(parsed.outcome.status, 2) << row.name;
    EXPECT_EQ(parsed.out, "") << row.name;
    EXPECT_TRUE(parsed.err.starts_with(row.usage)) << row.name << ": " << parsed.err;
    EXPECT_NE(parsed.err.find("\ncrv: error: "), std::string::npos) << row.name;
  }
  EXPECT_NE(parse({"bogus"}).err.find("invalid choice: 'bogus'"), std::string::npos);
}

TEST(CommandLine, HelpGoesToStandardOutputWithStatusZero) {
  const Parsed top = parse({"--help"});
  EXPECT_EQ(top.outcome.status, 0);
  EXPECT_FALSE(top.outcome.args);
  EXPECT_NE(top.out.find("Corvel starter CLI"), std::string::npos);
  EXPECT_NE(top.out.find("Output compact context for Claude hooks"), std::string::npos);
  const Parsed log = parse({"action", "log", "-h"});
  EXPECT_EQ(log.outcome.status, 0);
  EXPECT_NE(log.out.find("JSON object metadata"), std::string::npos);
  EXPECT_EQ(log.err, "");
}

TEST(CommandLine, DefaultsDifferPerSubcommandAndBindTheHandler) {
  const Args retrieve = *parse({"retrieve", "--query", "q"}).outcome.args;
  EXPECT_EQ(retrieve.cmd, "retrieve");
  EXPECT_NE(retrieve.func, nullptr);
  EXPECT_EQ(retrieve.retrieve.ranking.top_files, 20);
  EXPECT_EQ(retrieve.retrieve.ranking.top_edges, 40);
  EXPECT_EQ(retrieve.retrieve.ranking.rank, Ranking::classic);
  EXPECT_FALSE(retrieve.retrieve.json);
  const Args prime = *parse({"prime"}).outcome.args;
  EXPECT_EQ(prime.cmd, "prime");
  EXPECT_EQ(prime.prime.ranking.query, "");
  EXPECT_EQ(prime.prime.ranking.top_files, 12);
  EXPECT_EQ(prime.prime.ranking.top_edges, 20);
  EXPECT_FALSE(prime.prime.ranking.refresh);
  EXPECT_EQ(prime.prime.recent_actions, 8);
  const Args scan = *parse({"scan"}).outcome.args;
  EXPECT_EQ(scan.cmd, "scan");
  EXPECT_EQ(scan.scan.root, "/projects/shop");
  EXPECT_EQ(scan.scan.out, "/opt/crv/data/info_graph.json");
  const Args log = *parse({"action", "log", "--kind", ""}).outcome.args;
  EXPECT_EQ(log.cmd, "action");
  EXPECT_EQ(log.action_cmd, "log");
  EXPECT_NE(log.func, nullptr);
  EXPECT_EQ(log.action_log.kind, "");
  EXPECT_EQ(log.action_log.meta, "");
}

TEST(CommandLine, VersionAndTheHookCommands) {
  const Parsed version = parse({"--version"});
  EXPECT_EQ(version.outcome.status, 0);
  EXPECT_FALSE(version.outcome.args);
  EXPECT_EQ(version.out, "crv " + std::string(VERSION) + "\n");
  const Args prompt = *parse({"hook", "prompt"}).outcome.args;
  EXPECT_EQ(prompt.action_cmd, "prompt");
  EXPECT_EQ(prompt.hook_prompt.max_chars, 9000);
  EXPECT_EQ(prompt.hook_prompt.guard.timeout, 10);
  EXPECT_EQ(prompt.hook_prompt.prime.ranking.top_files, 12);
  EXPECT_TRUE(prompt.hook_prompt.prime.ranking.refresh);
  EXPECT_EQ(prompt.hook_prompt.prime.ranking.rank, Ranking::hybrid);
  EXPECT_FALSE(prompt.hook_prompt.guard.strict);
  const Args as_stands =
      *parse({"hook", "prompt", "--no-refresh", "--rank", "classic"}).outcome.args;
  EXPECT_FALSE(as_stands.hook_prompt.prime.ranking.refresh);
  EXPECT_EQ(as_stands.hook_prompt.prime.ranking.rank, Ranking::classic);
  const Args tool = *parse({"hook", "tool", "--strict", "--timeout", "0"}).outcome.args;
  EXPECT_EQ(tool.action_cmd, "tool");
  EXPECT_TRUE(tool.hook_tool.guard.strict);
  EXPECT_EQ(tool.hook_tool.guard.timeout, 0);
  EXPECT_EQ(parse({"hook", "prompt", "--timeout", "0.25"}).outcome.args->hook_prompt.guard.timeout,
            0.25);
  // A hook command line the parser rejects fails open unless --strict is given.
  const Parsed bare = parse({"hook"});
  EXPECT_EQ(bare.outcome.status, 0);
  EXPECT_EQ(bare.err, "crv hook: A subcommand is required\n");
  for (const char* bad : {"-0.5", "inf", "", "1,5", "0x10"}) {
    const Parsed open = parse({"hook", "tool", "--timeout", bad});
    EXPECT_EQ(open.outcome.status, 0) << bad;
    EXPECT_TRUE(open.err.starts_with("crv hook tool: --timeout: invalid value: '")) << open.err;
    EXPECT_EQ(parse({"hook", "tool", "--strict", "--timeout", bad}).outcome.status, 2) << bad;
  }
}

TEST(CommandLine, IntegersAreDecimalAndMayBeNegative) {
  const Args args = *parse({"prime", "--top-files", "-1", "--top-edges=010", "--recent-actions",
                            "0", "--query", "-"})
                         .outcome.args;
  EXPECT_EQ(args.prime.ranking.top_files, -1);
  EXPECT_EQ(args.prime.ranking.top_edges, 10);
  EXPECT_EQ(args.prime.recent_actions, 0);
  EXPECT_EQ(args.prime.ranking.query, "-");
  EXPECT_EQ(parse({"prime", "--top-files", "1", "--top-files", "2"})
                .outcome.args->prime.ranking.top_files,
            2);
}

}  // namespace
}  // namespace plinthar::query

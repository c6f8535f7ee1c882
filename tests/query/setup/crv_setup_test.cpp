// `crv setup` run as a user runs it, in a project folder with a copied crv; the entries it
// writes are then run as the assistant runs them.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"
#include "test_util.hpp"

namespace plinthar::query::setup {
namespace {
namespace fs = std::filesystem;
using text::Json;

constexpr const char* USER_SETTINGS =
    R"({"permissions":{"allow":["Read"]},"hooks":{"Stop":[{"hooks":[{"type":"command","command":"say done"}]}]}})";

class CrvSetup : public ::testing::Test {
 protected:
  CrvSetup() {
    fs::create_directories(dir_ / "tool");
    fs::copy_file(PLINTHAR_CRV_BIN, dir_ / "tool/crv");
    dir_.write("proj/web/src/pages/OrdersPage.tsx", "export function OrdersPage() {}\n");
    crv_ = fs::canonical(dir_ / "tool/crv").string();
  }

  testing::RunResult run(const std::string& args, const std::string& env = "",
                         const fs::path& input = "/dev/null") const {
    return testing::run_command(dir_ / "proj", testing::program_command(crv_) + " " + args, env,
                                input);
  }
  std::string read(const std::string& relative) const {
    return testing::read_text(dir_ / relative);
  }
  Json json(const std::string& relative) const { return text::parse_json(read(relative)); }

  testing::TempDir dir_;
  std::string crv_;
};

TEST_F(CrvSetup, MergesOnceKeepsABackupAndRemovesExactlyWhatItAdded) {
  dir_.write("proj/.claude/settings.json", USER_SETTINGS);
  const auto first = run("setup claude");
  ASSERT_EQ(first.status, 0) << first.err;
  const Json settings = json("proj/.claude/settings.json");
  EXPECT_EQ(settings["permissions"], text::parse_json(R"({"allow": ["Read"]})"));
  EXPECT_EQ(settings["hooks"].begin().key(), "Stop");
  EXPECT_EQ(settings["hooks"]["UserPromptSubmit"][0]["hooks"][0]["command"], crv_ + " hook prompt");
  EXPECT_EQ(json("proj/.mcp.json")["mcpServers"]["plinthar"],
            text::parse_json(R"({"command": ")" + crv_ + R"(", "args": ["mcp"]})"));
  EXPECT_EQ(read("proj/.claude/settings.json.bak"), USER_SETTINGS);
  EXPECT_FALSE(fs::exists(dir_ / "proj/.mcp.json.bak"));

  const std::string written = read("proj/.claude/settings.json");
  const auto second = run("setup claude");
  EXPECT_EQ(second.status, 0);
  EXPECT_NE(second.out.find(".claude/settings.json: nothing to change"), std::string::npos);
  EXPECT_NE(second.out.find(".mcp.json: nothing to change"), std::string::npos);
  EXPECT_EQ(read("proj/.claude/settings.json"), written);

  const auto removed = run("setup --remove claude");
  ASSERT_EQ(removed.status, 0) << removed.err;
  EXPECT_EQ(json("proj/.claude/settings.json"), text::parse_json(USER_SETTINGS));
  EXPECT_FALSE(fs::exists(dir_ / "proj/.mcp.json"));
  const auto again = run("setup claude --remove");
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.out.find("nothing to change"), std::string::npos);
}

TEST_F(CrvSetup, DryRunPrintsTheChangeAndWritesNothing) {
  const auto dry = run("setup claude --dry-run");
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_NE(dry.out.find("add UserPromptSubmit hook \"" + crv_ + " hook prompt\""),
            std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("\"args\": [\n        \"mcp\"\n      ]"), std::string::npos) << dry.out;
  EXPECT_FALSE(fs::exists(dir_ / "proj/.claude"));
  EXPECT_FALSE(fs::exists(dir_ / "proj/.mcp.json"));
}

TEST_F(CrvSetup, TheWrittenEntriesStartAWorkingCrv) {
  ASSERT_EQ(run("setup claude").status, 0);
  const std::string hook =
      json("proj/.claude/settings.json")["hooks"]["UserPromptSubmit"][0]["hooks"][0]["command"];
  const fs::path event = dir_.write("event.json", R"({"prompt": "the orders page"})");
  // In a cross build the written command starts the target's crv through the emulator.
  const auto block =
      testing::run_command(dir_ / "proj", std::string(PLINTHAR_TEST_EMULATOR) + hook, "", event);
  EXPECT_EQ(block.status, 0) << block.err;
  EXPECT_NE(block.out.find("- web/src/pages/OrdersPage.tsx\n"), std::string::npos) << block.out;

  ASSERT_EQ(run("setup mcp --settings ../client.json").status, 0);
  const Json server = json("client.json")["mcpServers"]["plinthar"];
  const fs::path hello = dir_.write(
      "hello.jsonl",
      R"({"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"protocolVersion": "2025-06-18"}})"
      "\n");
  const auto reply =
      testing::run_command(dir_ / "proj",
                           testing::program_command(server["command"].get<std::string>()) + " " +
                               server["args"][0].get<std::string>(),
                           "", hello);
  EXPECT_EQ(reply.status, 0) << reply.err;
  EXPECT_EQ(text::parse_json(reply.out)["result"]["serverInfo"]["name"], "plinthar") << reply.out;
}

TEST_F(CrvSetup, ACrvOnPathIsNamedPlainCrv) {
  const auto result = run("setup mcp --settings ../client.json",
                          "PATH='" + (dir_ / "tool").string() + ":/usr/bin:/bin' ");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(json("client.json")["mcpServers"]["plinthar"]["command"], "crv");
}

TEST_F(CrvSetup, OptionsThatDoNotFitTheAssistantAreUsageErrors) {
  for (const char* args : {"setup mcp", "setup mcp --user --settings x.json",
                           "setup claude --settings x.json", "setup", "setup other"}) {
    const auto result = run(args);
    EXPECT_EQ(result.status, 2) << args;
    EXPECT_NE(result.err.find("crv: error: "), std::string::npos) << args << result.err;
  }
  dir_.write("proj/.mcp.json", "[1, 2]");
  const auto refused = run("setup claude");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find(".mcp.json does not hold a JSON object"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(dir_ / "proj/.claude/settings.json"));
}

}  // namespace
}  // namespace plinthar::query::setup

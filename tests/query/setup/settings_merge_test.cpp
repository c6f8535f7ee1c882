#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/query/setup/hook_entries.hpp"
#include "plinthar/query/setup/mcp_server_entry.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query::setup {
namespace {

const std::vector<HookEntry> HOOKS = crv_hooks("crv");
const Json SERVER = mcp_server_entry("crv");

// Adds crv's hooks and server to a document as setup does.
std::vector<std::string> add_all(Json& settings) {
  std::vector<std::string> changes = add_hooks(settings, HOOKS);
  for (std::string& change : add_mcp_server(settings, SERVER)) changes.push_back(change);
  return changes;
}

std::vector<std::string> remove_all(Json& settings) {
  std::vector<std::string> changes = remove_hooks(settings, HOOKS);
  for (std::string& change : remove_mcp_server(settings, SERVER)) changes.push_back(change);
  return changes;
}

// Documents that setup merges into: adding keeps every key in its place, a second add
// changes nothing, and removing gives the document back.
TEST(SettingsMerge, AddKeepsWhatIsThereIsIdempotentAndRemoveUndoesIt) {
  const char* documents[] = {
      "{}",
      R"j({"model": "x", "permissions": {"allow": ["Bash(ls)"]}, "z": 1})j",
      R"({"hooks": {"PostToolUse": [{"matcher": "Write",
          "hooks": [{"type": "command", "command": "other"}]}]}, "after": true})",
      R"({"hooks": {"Stop": [{"hooks": [{"type": "command", "command": "crv hook prompt"}]}]}})",
      R"({"mcpServers": {"docs": {"command": "docs-server", "args": []}}, "theme": "dark"})",
      R"({"hooks": {"UserPromptSubmit": []}, "mcpServers": {}})",
  };
  for (const char* text : documents) {
    const Json original = text::parse_json(text);
    Json settings = original;
    EXPECT_EQ(add_all(settings).size(), 3U) << text;
    // The keys that were there come first, in their order.
    std::vector<std::string> keys;
    for (const auto& [key, value] : settings.items()) keys.push_back(key);
    std::size_t at = 0;
    for (const auto& [key, value] : original.items()) {
      EXPECT_EQ(keys[at++], key) << text;
      if (key != "hooks" && key != "mcpServers") {
        EXPECT_EQ(settings[key], value) << text;
      }
    }
    const Json added = settings;
    EXPECT_TRUE(add_all(settings).empty()) << text;
    EXPECT_EQ(settings, added) << text;
    EXPECT_EQ(remove_all(settings).size(), 3U) << text;
    // Lists and maps left empty by the removal go; ones that were empty before stay
    // only when setup did not touch them.
    Json expected = original;
    if (expected.contains("mcpServers") && expected["mcpServers"].empty()) {
      expected.erase("mcpServers");
    }
    if (expected.contains("hooks") && expected["hooks"].contains("UserPromptSubmit") &&
        expected["hooks"]["UserPromptSubmit"].empty()) {
      expected.erase("hooks");
    }
    EXPECT_EQ(settings, expected) << text << " became " << text::to_compact(settings);
    EXPECT_TRUE(remove_all(settings).empty()) << text;
  }
}

TEST(SettingsMerge, HooksGoIntoGroupsOfTheirOwnWithTheMatcherForTools) {
  Json settings = Json::object();
  add_hooks(settings, HOOKS);
  EXPECT_EQ(settings, text::parse_json(R"({"hooks": {
      "UserPromptSubmit": [{"hooks": [{"type": "command", "command": "crv hook prompt",
                                       "timeout": 15}]}],
      "PostToolUse": [{"matcher": "Edit|MultiEdit|Write|NotebookEdit|Bash",
                       "hooks": [{"type": "command", "command": "crv hook tool",
                                  "timeout": 15}]}]}})"));
}

TEST(SettingsMerge, RemoveTakesOnlyCrvsHooksOutOfAGroupSharedWithOthers) {
  Json settings = text::parse_json(R"({"hooks": {"UserPromptSubmit": [{"hooks": [
      {"type": "command", "command": "crv hook prompt", "timeout": 30},
      {"type": "command", "command": "log-prompt"}]}]}})");
  EXPECT_EQ(remove_hooks(settings, HOOKS).size(), 1U);
  EXPECT_EQ(settings, text::parse_json(R"({"hooks": {"UserPromptSubmit": [{"hooks": [
      {"type": "command", "command": "log-prompt"}]}]}})"));
}

std::vector<std::string> add_crv_hooks(Json& settings) { return add_hooks(settings, HOOKS); }
std::vector<std::string> add_crv_server(Json& settings) { return add_mcp_server(settings, SERVER); }

TEST(SettingsMerge, MembersOfTheWrongTypeAreRefusedAndTheDocumentLeftAlone) {
  const struct {
    std::vector<std::string> (*add)(Json&);
    const char* text;
    const char* message;
  } cases[] = {
      {add_crv_hooks, R"({"hooks": []})", "\"hooks\" is not an object"},
      {add_crv_hooks, R"({"hooks": {"PostToolUse": {}}})", "\"hooks\".PostToolUse is not a list"},
      {add_crv_server, R"({"mcpServers": ["crv"]})", "\"mcpServers\" is not an object"},
      {add_crv_server,
       R"({"mcpServers": {"plinthar": {"command": "elsewhere/crv", "args": ["mcp"]}}})",
       "\"mcpServers\".plinthar already starts another server"},
  };
  for (const auto& c : cases) {
    const Json original = text::parse_json(c.text);
    Json settings = original;
    try {
      c.add(settings);
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
    EXPECT_EQ(settings, original) << c.text;
    EXPECT_TRUE(remove_all(settings).empty()) << c.text;
    EXPECT_EQ(settings, original) << c.text;
  }
}

}  // namespace
}  // namespace plinthar::query::setup

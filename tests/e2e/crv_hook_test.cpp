// Runs the built crv's hook commands as an assistant does: the event's JSON on standard
// input, the project named by the event's "cwd", and crv started in another folder.

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "crv_fixture.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/utf8.hpp"
#include "test_util.hpp"

namespace plinthar::query {
namespace {
namespace fs = std::filesystem;

class CrvHook : public testing::CrvFixture {
 protected:
  CrvHook() {
    dir_.write("proj/web/src/pages/OrdersPage.tsx",
               "import { Button } from '../ui/Button';\nexport function OrdersPage() {}\n");
    dir_.write("proj/web/src/ui/Button.tsx", "export function Button() {}\n");
    dir_.write("proj/api/orders.py", "def cancel_order(order_id):\n    pass\n");
    project_ = fs::canonical(dir_ / "proj").string();
  }

  // The event of the captured fixture `name`, for the test's project.
  fs::path event(const std::string& name) const {
    std::string text = testing::read_text(fs::path(PLINTHAR_FIXTURES_DIR) / "hooks" / name);
    for (std::size_t at = text.find("@PROJECT@"); at != std::string::npos;
         at = text.find("@PROJECT@", at)) {
      text.replace(at, 9, project_);
    }
    return event_text(text);
  }
  fs::path event_text(const std::string& text) const { return dir_.write("event.json", text); }

  // Runs `program` with `args` in the temporary folder, `input` on standard input.
  testing::RunResult invoke(const std::string& args, const fs::path& input = "/dev/null",
                            const std::string& env = "",
                            const std::string& program = "tool/crv") const {
    return run(program, args, env, input, ".");
  }

  std::string project_;
};

TEST_F(CrvHook, PromptPrintsThePrimeBlockOfTheEventsProjectWithinTheBudget) {
  const auto block = invoke("hook prompt", event("prompt_submit.json"));
  ASSERT_EQ(block.status, 0) << block.err;
  EXPECT_EQ(block.err, "");
  const auto prime =
      invoke("prime --rank hybrid --query 'fix the cancel button on the orders page'", "/dev/null",
             "CORVEL_PROJECT_ROOT='" + project_ + "' ");
  EXPECT_EQ(block.out, prime.out);
  EXPECT_NE(block.out.find("- web/src/pages/OrdersPage.tsx\n"), std::string::npos);

  const auto small = invoke("hook prompt --max-chars 520", event("prompt_submit.json"));
  EXPECT_EQ(small.status, 0) << small.err;
  EXPECT_LE(small.out.size(), 520U);
  EXPECT_TRUE(small.out.ends_with("- (no actions recorded yet)\n")) << small.out;

  const auto blank =
      invoke("hook prompt", event_text(R"({"prompt": " \n", "cwd": ")" + project_ + "\"}"));
  EXPECT_EQ(blank.status, 0);
  EXPECT_EQ(blank.out + blank.err, "");
}

TEST_F(CrvHook, PromptFollowsTheProjectUnlessToldNotTo) {
  ASSERT_EQ(invoke("hook prompt", event("prompt_submit.json")).status, 0);
  dir_.write("proj/web/src/pages/CancelOrderDialog.tsx",
             "export function CancelOrderDialog() {}\n");
  const auto stale = invoke("hook prompt --no-refresh", event("prompt_submit.json"));
  EXPECT_EQ(stale.out.find("CancelOrderDialog.tsx"), std::string::npos) << stale.out;
  const auto fresh = invoke("hook prompt", event("prompt_submit.json"));
  EXPECT_NE(fresh.out.find("- web/src/pages/CancelOrderDialog.tsx\n"), std::string::npos)
      << fresh.out << fresh.err;
  const auto classic = invoke("hook prompt --rank classic", event("prompt_submit.json"));
  const auto prime = invoke("prime --query 'fix the cancel button on the orders page'", "/dev/null",
                            "CORVEL_PROJECT_ROOT='" + project_ + "' ");
  EXPECT_EQ(classic.out, prime.out);
}

TEST_F(CrvHook, WorkBeyondTheTimeLimitGoesToTheBackgroundAndTheAnswerFollows) {
  // More files change than a two-second limit lets the hook read itself: a worker of its
  // own refreshes the graph while the prompt is answered from the graph as it stood (or
  // fresh, when the worker was quick enough), and a later prompt gets the new file.
  ASSERT_EQ(invoke("hook prompt", event("prompt_submit.json")).status, 0);
  for (int file = 0; file < 1100; ++file) {
    dir_.write("proj/lib/part" + std::to_string(file) + ".py", "def part():\n    pass\n");
  }
  dir_.write("proj/web/src/pages/CancelOrderDialog.tsx",
             "export function CancelOrderDialog() {}\n");
  const auto answered = invoke("hook prompt --timeout 2", event("prompt_submit.json"));
  EXPECT_EQ(answered.status, 0);
  EXPECT_NE(answered.out.find("- web/src/pages/OrdersPage.tsx\n"), std::string::npos)
      << answered.out << answered.err;
  std::string log;
  for (int poll = 0; poll < 600 && log.find("graph brought up to date") == std::string::npos;
       ++poll) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    log = fs::exists(data_ / "background.log") ? testing::read_text(data_ / "background.log") : "";
  }
  ASSERT_NE(log.find("graph brought up to date"), std::string::npos) << log;
  const auto later = invoke("hook prompt --timeout 2 --no-refresh", event("prompt_submit.json"));
  EXPECT_NE(later.out.find("- web/src/pages/CancelOrderDialog.tsx\n"), std::string::npos)
      << later.out << later.err;
}

TEST_F(CrvHook, AnEditIsRankedInMemoryAndTheGraphFileFollowsAfterTheAnswer) {
  // The prompt after an edit ranks the changed graph at once, and a worker of its own
  // then writes the graph file: byte for byte a fresh scan, with the same answer.
  ASSERT_EQ(invoke("hook prompt", event("prompt_submit.json")).status, 0);
  const auto count_updates = [this] {
    const fs::path log = data_ / "background.log";
    const std::string text = fs::exists(log) ? testing::read_text(log) : "";
    std::size_t count = 0;
    for (std::size_t at = text.find("brought up to date"); at != std::string::npos;
         at = text.find("brought up to date", at + 1)) {
      ++count;
    }
    return count;
  };
  for (const bool new_file : {false, true}) {
    const std::size_t before = count_updates();
    const std::string name = "cancel_button_order" + std::to_string(new_file);
    dir_.write("proj/api/orders.py",
               "def cancel_order(order_id):\n    pass\n\ndef " + name + "():\n    pass\n");
    if (new_file) dir_.write("proj/web/src/pages/CancelOrderDialog.tsx", "export {}\n");
    const auto answered = invoke("hook prompt", event("prompt_submit.json"));
    ASSERT_EQ(answered.status, 0) << answered.err;
    EXPECT_NE(answered.out.find("orders.py::" + name), std::string::npos) << answered.out;
    for (int poll = 0; poll < 300 && count_updates() == before; ++poll) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_GT(count_updates(), before) << "no worker wrote the graph";
    ASSERT_EQ(invoke("scan --root proj --out fresh.json").status, 0);
    EXPECT_EQ(testing::read_text(data_ / "info_graph.json"),
              testing::read_text(dir_ / "fresh.json"));
    EXPECT_EQ(invoke("hook prompt --no-refresh", event("prompt_submit.json")).out, answered.out);
  }
}

TEST_F(CrvHook, ToolRecordsEditsAndCommandsThatTheNextPromptShows) {
  for (const char* name : {"post_tool_use_edit.json", "post_tool_use_bash.json"}) {
    const auto recorded = invoke("hook tool", event(name));
    EXPECT_EQ(recorded.status, 0);
    EXPECT_EQ(recorded.out + recorded.err, "") << name;
  }
  const auto log = testing::read_text(data_ / "action_events.jsonl");
  const auto first = text::Json::parse(log.substr(0, log.find('\n')));
  EXPECT_EQ(first["meta"], text::Json::parse(R"({"tool": "Edit"})"));
  const auto block = invoke("hook prompt", event("prompt_submit.json"));
  EXPECT_NE(block.out.find("## Action Trail (Recent 2)\n"
                           "- [edit] web/src/pages/OrdersPage.tsx\n"
                           "- [command] npm test -- OrdersPage\n"),
            std::string::npos)
      << block.out;
}

// The lines of `block` that start with "- " below the heading that begins with `heading`.
std::vector<std::string> section_lines(const std::string& block, const std::string& heading) {
  std::vector<std::string> lines;
  std::size_t at = block.find(heading);
  if (at == std::string::npos) return lines;
  at = block.find('\n', at) + 1;
  for (std::size_t end; (end = block.find('\n', at)) != std::string::npos && block[at] == '-';
       at = end + 1) {
    lines.push_back(block.substr(at, end - at));
  }
  return lines;
}

TEST_F(CrvHook, LongCommandsAndLongLoggedSummariesNeverEmptyTheBlock) {
  // A one-line command of 10 KB recorded by the hook, then eight such records written to
  // the log by other means: every prompt still lists the files, the trail lines cut.
  const std::string command = "echo " + std::string(10000, 'x');
  text::Json bash = {
      {"tool_name", "Bash"}, {"tool_input", {{"command", command}}}, {"cwd", project_}};
  ASSERT_EQ(invoke("hook tool", event_text(bash.dump())).status, 0);
  const auto log = testing::read_text(data_ / "action_events.jsonl");
  const std::string recorded = text::Json::parse(log)["summary"].get<std::string>();
  EXPECT_LE(text::cp_length(recorded), 300U);
  EXPECT_TRUE(recorded.starts_with("echo xxx") && recorded.ends_with("x\u2026")) << recorded;
  const auto after_hook = invoke("hook prompt", event("prompt_submit.json"));
  EXPECT_NE(after_hook.out.find("- web/src/pages/OrdersPage.tsx\n"), std::string::npos)
      << after_hook.err;

  for (int record = 0; record < 8; ++record) {
    ASSERT_EQ(invoke("action log --kind command --summary '" + command + "'").status, 0);
  }
  for (const char* budget : {"", " --max-chars 2500"}) {
    const auto block = invoke(std::string("hook prompt") + budget, event("prompt_submit.json"));
    EXPECT_EQ(block.err, "") << budget;
    EXPECT_EQ(section_lines(block.out, "## Relevant Files").size(), 3U) << budget << block.out;
    EXPECT_LE(text::cp_length(block.out), budget[0] == '\0' ? 9000U : 2500U);
    for (const std::string& line : section_lines(block.out, "## Action Trail")) {
      EXPECT_LE(text::cp_length(line), 320U) << budget;
      EXPECT_TRUE(line.ends_with("\u2026") || line.starts_with("- (")) << line;
    }
  }
}

TEST_F(CrvHook, LongPromptsKeepTheFilesAndRankOnTheWholePrompt) {
  // A pasted traceback: its last line names the file; the block echoes only the start.
  dir_.write("proj/billing/refund_ledger.py", "def settle_refund():\n    pass\n");
  std::string prompt = "Traceback (most recent call last):\n";
  while (prompt.size() < 8650)
    prompt += "  File \"/usr/lib/python3/site.py\", line 73, in <module>\n";
  prompt += "why does refund_ledger settle_refund fail?";
  const text::Json submit = {{"prompt", prompt}, {"cwd", project_}};
  for (const char* budget : {"", " --max-chars 6000"}) {
    const auto block = invoke(std::string("hook prompt") + budget, event_text(submit.dump()));
    EXPECT_EQ(block.err, "") << budget;
    const auto focus = section_lines(block.out, "## Current Focus");
    ASSERT_EQ(focus.size(), 1U) << block.out;
    EXPECT_LE(text::cp_length(focus[0]), 320U);
    EXPECT_TRUE(focus[0].starts_with("- Query: Traceback (most recent call last):\\n"));
    EXPECT_TRUE(focus[0].ends_with("\u2026")) << focus[0];
    EXPECT_NE(block.out.find("- billing/refund_ledger.py\n"), std::string::npos) << block.out;
  }
}

TEST_F(CrvHook, FailuresPrintNothingAndExitZeroUnlessStrict) {
  struct Row {
    const char* name;
    const char* command;
    std::string input;
    std::string env;
    const char* message;
  };
  const std::string in_project = "\"cwd\": \"" + project_ + "\"";
  const Row rows[] = {
      {"bad JSON", "prompt", "{\"prompt\": ", "", "hook input is not JSON"},
      {"not an object", "prompt", "[]", "", "hook input is not a JSON object"},
      {"no prompt", "prompt", "{" + in_project + "}", "", "hook input has no \"prompt\" text"},
      {"no graph, no root", "prompt", "{\"prompt\": \"x\"}",
       "CORVEL_PROJECT_ROOT='" + project_ + "/gone' ", "no graph at "},
      {"folder gone", "prompt", "{\"prompt\": \"x\", \"cwd\": \"" + project_ + "/gone\"}", "",
       "cannot enter the hook's folder"},
      {"no tool name", "tool", "{" + in_project + "}", "", "hook input has no \"tool_name\" text"},
      {"unreadable log", "prompt", "{\"prompt\": \"x\", " + in_project + "}", "",
       "it is a directory"},
  };
  for (const Row& row : rows) {
    if (std::string(row.name) == "unreadable log") {
      fs::create_directories(dir_ / "tool/data/action_events.jsonl");
    }
    const fs::path input = event_text(row.input);
    const auto open = invoke(std::string("hook ") + row.command, input, row.env);
    EXPECT_EQ(open.status, 0) << row.name;
    EXPECT_EQ(open.out, "") << row.name;
    EXPECT_TRUE(open.err.starts_with(std::string("crv hook ") + row.command + ": ")) << open.err;
    EXPECT_NE(open.err.find(row.message), std::string::npos) << row.name << ": " << open.err;
    EXPECT_EQ(open.err.find('\n'), open.err.size() - 1) << row.name;
    const auto strict = invoke(std::string("hook ") + row.command + " --strict", input, row.env);
    EXPECT_EQ(strict.status, 1) << row.name;
    EXPECT_EQ(strict.out, "") << row.name;
    EXPECT_TRUE(strict.err.starts_with("crv: error: ")) << row.name;
  }
}

TEST_F(CrvHook, TimeLimitEndsTheHookTheSameWay) {
  const std::string program = testing::program_command(dir_ / "tool/crv");
  const auto open =
      testing::run_command(dir_.path(), "{ sleep 2 | " + program + " hook prompt --timeout 1; }");
  EXPECT_EQ(open.status, 0);
  EXPECT_EQ(open.out, "");
  EXPECT_EQ(open.err, "crv hook prompt: time limit of 1 s exceeded\n");
  const auto strict = testing::run_command(
      dir_.path(), "{ sleep 2 | " + program + " hook tool --timeout 1 --strict; }");
  EXPECT_EQ(strict.status, 1);
  EXPECT_EQ(strict.err, "crv: error: time limit of 1 s exceeded\n");
  const auto fractional =
      testing::run_command(dir_.path(), "{ sleep 2 | " + program + " hook prompt --timeout 0.5; }");
  EXPECT_EQ(fractional.status, 0);
  EXPECT_EQ(fractional.err, "crv hook prompt: time limit of 0.5 s exceeded\n");
}

TEST_F(CrvHook, UsageErrorsFailOpenUnlessStrictAndTimeoutsMayBeFractional) {
  const fs::path submit = event("prompt_submit.json");
  const auto fractional = invoke("hook prompt --timeout 1.5", submit);
  EXPECT_EQ(fractional.status, 0);
  EXPECT_NE(fractional.out.find("- web/src/pages/OrdersPage.tsx\n"), std::string::npos)
      << fractional.err;

  const struct {
    const char* args;
    const char* message;
  } rows[] = {
      {"hook prompt --timeout -1", "--timeout: invalid value: '-1'"},
      {"hook prompt --max-chars 1.5", "--max-chars: invalid int value: '1.5'"},
      {"hook prompt --no-such-option", "--no-such-option"},
      {"hook promt", "promt"},
  };
  for (const auto& row : rows) {
    const auto open = invoke(row.args, submit);
    EXPECT_EQ(open.status, 0) << row.args;
    EXPECT_EQ(open.out, "") << row.args;
    EXPECT_NE(open.err.find(row.message), std::string::npos) << row.args << ": " << open.err;
    EXPECT_EQ(open.err.find('\n'), open.err.size() - 1) << row.args << ": " << open.err;
    const auto strict = invoke(std::string(row.args) + " --strict", submit);
    EXPECT_EQ(strict.status, 2) << row.args;
    EXPECT_TRUE(strict.err.starts_with("usage: crv hook")) << row.args << ": " << strict.err;
  }
  // Other commands reject their command lines as before.
  EXPECT_EQ(invoke("prime --top-files 1.5").status, 2);
}

void install_crv(const testing::TempDir& dir) {
  fs::create_directories(dir / "usr/bin");
  fs::copy_file(PLINTHAR_CRV_BIN, dir / "usr/bin/crv");
  dir.write("usr/share/plinthar/per-project-data", "");
}

TEST_F(CrvHook, InstalledProgramKeepsEachProjectsDataInTheProject) {
  install_crv(dir_);
  fs::create_directories(dir_ / "proj/.git");
  dir_.write("other/notes.md", "# Notes\n");
  fs::create_directories(dir_ / "other/.hg");
  const auto prompt = invoke("hook prompt", event("prompt_submit.json"), "", "usr/bin/crv");
  EXPECT_NE(prompt.out.find("- web/src/pages/OrdersPage.tsx\n"), std::string::npos) << prompt.err;
  EXPECT_TRUE(fs::exists(dir_ / "proj/.corvel/info_graph.json"));
  const auto tool =
      invoke("hook tool",
             event_text(R"({"tool_name": "Bash", "tool_input": {"command": "ls"}, "cwd": ")" +
                        fs::canonical(dir_ / "other").string() + "\"}"),
             "", "usr/bin/crv");
  EXPECT_TRUE(fs::exists(dir_ / "other/.corvel/action_events.jsonl")) << tool.err;
  EXPECT_FALSE(fs::exists(dir_ / "proj/.corvel/action_events.jsonl"));
  // From a folder inside the project, the project's data and root serve.
  const auto below =
      testing::run_command(dir_ / "proj/web", testing::program_command(dir_ / "usr/bin/crv") +
                                                  " prime --query 'cancel order'");
  EXPECT_NE(below.out.find("- api/orders.py"), std::string::npos) << below.err;
  EXPECT_FALSE(fs::exists(dir_ / "proj/web/.corvel"));
  EXPECT_FALSE(fs::exists(dir_ / "usr/bin/data"));
  // A copied program keeps data beside itself unless CRV_DATA_DIR names another place.
  EXPECT_EQ(invoke("action log --kind k", "/dev/null", "CRV_DATA_DIR=state ").status, 0);
  EXPECT_TRUE(fs::exists(dir_ / "state/action_events.jsonl"));
  EXPECT_FALSE(fs::exists(data_));
}

// What a repository ships cannot make an installed crv read or write outside the
// project: links in and to its data folder, links to outside files, folders that are no
// project (or too wide to be one).
TEST_F(CrvHook, InstalledProgramStaysInsideTheProject) {
  install_crv(dir_);
  dir_.write("outside/bashrc", "export PATH\n");
  dir_.write("outside/secret.md", "# launch codes\n");
  dir_.write("outside/data/keep.txt", "");
  dir_.write("home/.git/HEAD", "");
  dir_.write("home/loose/notes.md", "# Notes\n");
  fs::create_directories(dir_ / "proj/.git");
  fs::create_symlink(fs::canonical(dir_ / "outside/secret.md"), dir_ / "proj/secret.md");
  const std::string home_env = "HOME='" + fs::canonical(dir_ / "home").string() + "' ";
  const auto tool_in = [&](const fs::path& folder) {
    const std::string cwd = fs::weakly_canonical(dir_.path() / folder).string();
    return invoke("hook tool",
                  event_text(R"({"tool_name": "Bash", "tool_input": {"command": "make deploy"},)"
                             R"( "cwd": ")" +
                             cwd + "\"}"),
                  home_env, "usr/bin/crv");
  };
  const auto refused = [](const testing::RunResult& run, const std::string& reason) {
    return run.status == 0 && run.out.empty() && run.err.find(reason) != std::string::npos;
  };

  fs::create_directories(dir_ / "proj/.corvel");
  fs::create_symlink(fs::canonical(dir_ / "outside/bashrc"),
                     dir_ / "proj/.corvel/action_events.jsonl");
  EXPECT_TRUE(refused(tool_in("proj"), "symbolic link"));
  EXPECT_EQ(testing::read_text(dir_ / "outside/bashrc"), "export PATH\n");

  fs::remove_all(dir_ / "proj/.corvel");
  fs::create_directory_symlink(fs::canonical(dir_ / "outside/data"), dir_ / "proj/.corvel");
  EXPECT_TRUE(refused(tool_in("proj"), "is a symbolic link"));
  EXPECT_TRUE(refused(invoke("hook prompt", event("prompt_submit.json"), home_env, "usr/bin/crv"),
                      "is a symbolic link"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "outside/data"), {}), 1);

  // No project above the folder, or only the home folder's: nothing is made anywhere.
  EXPECT_TRUE(refused(tool_in("home/loose"), "no project at"));
  EXPECT_TRUE(refused(tool_in("home"), "keeps no project data in"));
  EXPECT_FALSE(fs::exists(dir_ / "home/loose/.corvel"));
  EXPECT_FALSE(fs::exists(dir_ / "home/.corvel"));

  fs::remove(dir_ / "proj/.corvel");
  const auto prompt = invoke("hook prompt", event("prompt_submit.json"), home_env, "usr/bin/crv");
  EXPECT_NE(prompt.out.find("- web/src/pages/OrdersPage.tsx\n"), std::string::npos) << prompt.err;
  const std::string graph = testing::read_text(dir_ / "proj/.corvel/info_graph.json");
  EXPECT_EQ(graph.find("secret.md"), std::string::npos);
  EXPECT_EQ(graph.find("launch codes"), std::string::npos);
}

}  // namespace
}  // namespace plinthar::query

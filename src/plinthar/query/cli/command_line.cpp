#include "plinthar/query/cli/command_line.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iostream>
#include <list>
#include <ostream>
#include <span>
#include <string_view>

#include <CLI/CLI.hpp>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/query/data/data_directory.hpp"
#include "plinthar/query/setup/setup_command.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/decimal_integer.hpp"
#include "plinthar/version.hpp"

namespace plinthar::query {
namespace {

// One entry of the subcommand table: what help lists, how the options are declared and
// which handler runs. An entry without handler requires one of its `children`.
struct Subcommand {
  std::string_view name;
  std::string_view help;
  void (*declare)(CLI::App& app, Args& args, const Locations& locations);
  Handler handler;
  std::span<const Subcommand> children;
};

const CLI::Validator DECIMAL_INTEGER(
    [](std::string& value) -> std::string {
      if (text::parse_decimal_integer(value, text::OutOfRange::SATURATE)) return {};
      return "invalid int value: '" + value + "'";
    },
    "", "INT");

void add_text(CLI::App& app, std::string_view name, std::string& member, std::string_view help,
              bool required = false) {
  auto* option = app.add_option(std::string(name), member, std::string(help));
  option->type_name("TEXT");
  if (required) option->required();
}

// An integer option whose default is the value `member` holds.
void add_integer(CLI::App& app, std::string_view name, std::int64_t& member,
                 std::string_view help = "") {
  const std::int64_t default_value = member;
  app.add_option_function<std::string>(
         std::string(name),
         [&member](const std::string& value) {
           member = *text::parse_decimal_integer(value, text::OutOfRange::SATURATE);
         },
         std::string(help))
      ->check(DECIMAL_INTEGER)
      ->type_name("INT")
      ->default_str(std::to_string(default_value));
}

// A number of seconds: a decimal number, fractions allowed ("1.5", "0.25"), not negative.
std::optional<double> parse_seconds(std::string_view value) {
  double seconds = 0;
  const char* const end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, seconds);
  if (error != std::errc() || stop != end || !std::isfinite(seconds) || seconds < 0) {
    return std::nullopt;
  }
  return seconds;
}

// A seconds option whose default is the value `member` holds.
void add_seconds(CLI::App& app, std::string_view name, double& member, std::string_view help) {
  const std::string default_value = seconds_text(member);
  app.add_option_function<std::string>(
         std::string(name), [&member](const std::string& value) { member = *parse_seconds(value); },
         std::string(help))
      ->check(CLI::Validator(
          [](std::string& value) -> std::string {
            if (parse_seconds(value)) return {};
            return "invalid value: '" + value + "' (seconds: a number, 0 or more, such as 1.5)";
          },
          "", "SECONDS"))
      ->type_name("SECONDS")
      ->default_str(default_value);
}

void add_refresh(CLI::App& app, bool& member) {
  app.add_flag("--refresh", member,
               "Bring the graph up to date with the project first, reading changed files only");
}

// The ranking that `name` names, or nothing.
std::optional<Ranking> ranking_named(std::string_view name) {
  for (std::size_t i = 0; i < std::size(RANKING_NAMES); ++i) {
    if (name == RANKING_NAMES[i]) return static_cast<Ranking>(i);
  }
  return std::nullopt;
}

// The --rank option, whose default is the ranking `member` holds.
void add_rank(CLI::App& app, Ranking& member) {
  const std::string default_rank(ranking_name(member));
  app.add_option_function<std::string>(
         "--rank", [&member](const std::string& value) { member = *ranking_named(value); },
         "Ranking: classic or hybrid (default " + default_rank + ")")
      ->type_name("{classic,hybrid}")
      ->check(CLI::Validator(
          [](std::string& value) -> std::string {
            if (ranking_named(value)) return {};
            return "invalid choice: '" + value + "' (choose from 'classic', 'hybrid')";
          },
          "", "RANK"));
}

void add_ranking(CLI::App& app, RankingRequest& ranking) {
  add_integer(app, "--top-files", ranking.top_files);
  add_integer(app, "--top-edges", ranking.top_edges);
}

void declare_scan(CLI::App& app, Args& args, const Locations& locations) {
  args.scan.root = locations.default_root.string();
  args.scan.out = locations.graph_json.string();
  add_text(app, "--root", args.scan.root, "Project root to scan");
  add_text(app, "--out", args.scan.out, "Output graph JSON");
  args.scan.jobs = scanner::default_scan_jobs();
  app.add_option("--jobs", args.scan.jobs, "Threads that read the files (default: one per core)")
      ->check(CLI::PositiveNumber)
      ->default_str(std::to_string(args.scan.jobs));
  app.add_flag("--term-stats", args.scan.term_stats,
               "Also count the terms the hybrid ranking reads, so that its first call need not");
  app.get_option("--root")->default_str(args.scan.root);
  app.get_option("--out")->default_str(args.scan.out);
}

void declare_retrieve(CLI::App& app, Args& args, const Locations&) {
  RankingRequest& ranking = args.retrieve.ranking;
  add_text(app, "--query", ranking.query, "Natural language task/query", true);
  add_ranking(app, ranking);
  app.add_flag("--json", args.retrieve.json);
  add_refresh(app, ranking.refresh);
  add_rank(app, ranking.rank);
}

void declare_prime(CLI::App& app, Args& args, const Locations&) {
  RankingRequest& ranking = args.prime.ranking;
  add_text(app, "--query", ranking.query, "Current query/task");
  add_ranking(app, ranking);
  add_integer(app, "--recent-actions", args.prime.recent_actions);
  add_refresh(app, ranking.refresh);
  add_rank(app, ranking.rank);
}

void declare_action_log(CLI::App& app, Args& args, const Locations&) {
  add_text(app, "--kind", args.action_log.kind, "Action kind", true);
  add_text(app, "--summary", args.action_log.summary, "Short action summary");
  add_text(app, "--meta", args.action_log.meta, "JSON object metadata");
}

void declare_stats(CLI::App& app, Args& args, const Locations&) {
  app.add_flag("--json", args.stats.json);
}

// The two hook commands fail open unless asked not to, within a time limit.
void declare_hook_guard(CLI::App& app, HookGuard& guard) {
  add_seconds(app, "--timeout", guard.timeout, "Seconds before giving up (0: no limit)");
  app.add_flag("--strict", guard.strict, "Report failures with the usual exit statuses");
}

void declare_hook_prompt(CLI::App& app, Args& args, const Locations&) {
  HookPromptOptions& hook = args.hook_prompt;
  add_integer(app, "--max-chars", hook.max_chars, "Most characters of context to print");
  add_ranking(app, hook.prime.ranking);
  add_integer(app, "--recent-actions", hook.prime.recent_actions);
  app.add_flag("--no-refresh{false}", hook.prime.ranking.refresh, "Rank the graph as it stands");
  add_rank(app, hook.prime.ranking.rank);
  declare_hook_guard(app, hook.guard);
}

void declare_hook_tool(CLI::App& app, Args& args, const Locations&) {
  declare_hook_guard(app, args.hook_tool.guard);
}

void declare_nothing(CLI::App&, Args&, const Locations&) {}

void declare_mcp(CLI::App& app, Args& args, const Locations&) {
  app.add_flag("--no-refresh{false}", args.mcp.refresh, "Serve the graph as it stands");
  add_integer(app, "--refresh-interval", args.mcp.refresh_interval,
              "Least milliseconds between two looks at the project for changes");
}

// The options of `setup` may stand before or after the assistant's name: `setup` and
// each assistant's command declare them, and the assistant's command takes those given
// before its name from `setup` once parsed.
void add_setup_flags(CLI::App& app, setup::SetupOptions& options) {
  app.add_flag("--user", options.user, "Write the user's settings instead of the project's");
  app.add_flag("--remove", options.remove, "Take out what setup added");
  app.add_flag("--dry-run", options.dry_run, "Print the changes without writing anything");
}

void add_settings_option(CLI::App& app, setup::SetupOptions& options) {
  app.add_option("--settings", options.settings, "The MCP client's settings file")
      ->type_name("FILE");
}

void take_setup_options(CLI::App& app, setup::SetupOptions& options) {
  app.fallthrough();
  app.callback([&app, &options] {
    const CLI::App& setup = *app.get_parent();
    options.user = options.user || setup.count("--user") > 0;
    options.remove = options.remove || setup.count("--remove") > 0;
    options.dry_run = options.dry_run || setup.count("--dry-run") > 0;
    if (options.settings.empty() && setup.count("--settings") > 0) {
      options.settings = setup.get_option("--settings")->as<std::string>();
    }
  });
}

void declare_setup(CLI::App& app, Args& args, const Locations&) {
  add_setup_flags(app, args.setup);
  add_settings_option(app, args.setup);
}

void declare_setup_claude(CLI::App& app, Args& args, const Locations&) {
  args.setup.assistant = "claude";
  add_setup_flags(app, args.setup);
  take_setup_options(app, args.setup);
}

void declare_setup_mcp(CLI::App& app, Args& args, const Locations&) {
  args.setup.assistant = "mcp";
  add_setup_flags(app, args.setup);
  add_settings_option(app, args.setup);
  take_setup_options(app, args.setup);
}

int run_scan(const Args& args, const Locations& locations, const Streams& streams) {
  ScanOptions scan = args.scan;
  // Progress only for a person watching: the process's own standard error on a terminal.
  scan.progress = &streams.err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  require_usable_data_dir(locations);
  return cmd_scan(scan, locations, streams);
}
int run_retrieve(const Args& args, const Locations& locations, const Streams& streams) {
  require_usable_data_dir(locations);
  return cmd_retrieve(args.retrieve, locations, streams);
}
int run_prime(const Args& args, const Locations& locations, const Streams& streams) {
  require_usable_data_dir(locations);
  return cmd_prime(args.prime, locations, streams);
}
int run_action_log(const Args& args, const Locations& locations, const Streams& streams) {
  require_usable_data_dir(locations);
  return cmd_action_log(args.action_log, locations, streams);
}
int run_stats(const Args& args, const Locations& locations, const Streams& streams) {
  require_usable_data_dir(locations);
  return cmd_stats(args.stats, locations, streams);
}
int run_hook_prompt(const Args& args, const Locations& locations, const Streams& streams) {
  return cmd_hook_prompt(args.hook_prompt, locations, streams);
}
int run_hook_tool(const Args& args, const Locations& locations, const Streams& streams) {
  return cmd_hook_tool(args.hook_tool, locations, streams);
}
int run_mcp(const Args& args, const Locations& locations, const Streams& streams) {
  require_usable_data_dir(locations);
  return mcp::cmd_mcp(args.mcp, locations, streams);
}
int run_setup(const Args& args, const Locations& locations, const Streams& streams) {
  return setup::cmd_setup(args.setup, locations, streams);
}

constexpr Subcommand ACTION_SUBCOMMANDS[] = {
    {"log", "Append action event", declare_action_log, run_action_log, {}},
};

constexpr Subcommand HOOK_SUBCOMMANDS[] = {
    {"prompt",
     "Print the context block for a prompt-submit event read from standard input",
     declare_hook_prompt,
     run_hook_prompt,
     {}},
    {"tool",
     "Record a finished tool use read from standard input in the action log",
     declare_hook_tool,
     run_hook_tool,
     {}},
};

constexpr Subcommand SETUP_SUBCOMMANDS[] = {
    {"claude",
     "Hooks in .claude/settings.json and the MCP server in .mcp.json (--user: "
     "~/.claude/settings.json, ~/.claude.json)",
     declare_setup_claude,
     run_setup,
     {}},
    {"mcp",
     "The MCP server in the mcpServers map of the client settings file named by --settings",
     declare_setup_mcp,
     run_setup,
     {}},
};

constexpr Subcommand SUBCOMMANDS[] = {
    {"scan", "Scan project and build info graph", declare_scan, run_scan, {}},
    {"retrieve", "Retrieve relevant files/edges for a query", declare_retrieve, run_retrieve, {}},
    {"prime", "Output compact context for Claude hooks", declare_prime, run_prime, {}},
    {"action", "Action graph operations", declare_nothing, nullptr, ACTION_SUBCOMMANDS},
    {"stats", "Token usage stats", declare_stats, run_stats, {}},
    {"hook", "Assistant hook events (JSON on standard input)", declare_nothing, nullptr,
     HOOK_SUBCOMMANDS},
    {"mcp",
     "Serve the project to an assistant over the Model Context Protocol (standard input and "
     "output)",
     declare_mcp,
     run_mcp,
     {}},
    {"setup", "Write crv's hooks and MCP server into an assistant's settings", declare_setup,
     nullptr, SETUP_SUBCOMMANDS},
};

// Everything parsing builds: one arguments record per subcommand, so that each gets its
// own defaults (the same option names default differently in `retrieve` and `prime`),
// and the record of the subcommand the parser selected.
struct ParseState {
  std::list<Args> records;
  Args* selected = nullptr;
};

void add_subcommands(CLI::App& parent, std::span<const Subcommand> table, ParseState& state,
                     const Locations& locations, std::string_view parent_name);

// The parser with every subcommand of the table and the records its options fill.
struct Grammar {
  CLI::App app{"Corvel starter CLI", "crv"};
  ParseState state;

  explicit Grammar(const Locations& locations) {
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.set_version_flag("--version", "crv " + std::string(VERSION));
    add_subcommands(app, SUBCOMMANDS, state, locations, "");
  }
};

// Adds the table's entries below `parent`, which is the subcommand `parent_name` ("" at
// the top level).
void add_subcommands(CLI::App& parent, std::span<const Subcommand> table, ParseState& state,
                     const Locations& locations, std::string_view parent_name) {
  parent.require_subcommand(1);
  for (const Subcommand& entry : table) {
    CLI::App* app = parent.add_subcommand(std::string(entry.name), std::string(entry.help));
    Args& own = state.records.emplace_back();
    own.cmd = std::string(parent_name.empty() ? entry.name : parent_name);
    if (!parent_name.empty()) own.action_cmd = std::string(entry.name);
    own.func = entry.handler;
    entry.declare(*app, own, locations);
    if (entry.handler != nullptr) {
      app->parse_complete_callback([&state, &own] { state.selected = &own; });
    }
    if (!entry.children.empty()) {
      add_subcommands(*app, entry.children, state, locations, entry.name);
    }
  }
}

// "TOP_FILES" for "--top-files": how usage names an option's value.
std::string metavar(const std::string& option_name) {
  std::string name = option_name.substr(2);
  for (char& c : name) c = c == '-' ? '_' : static_cast<char>(std::toupper(c));
  return name;
}

// A one-line usage summary ("usage: crv retrieve [-h] --query QUERY ...") for the
// deepest subcommand the parser reached.
std::string usage_line(const CLI::App& app) {
  const CLI::App* current = &app;
  std::string usage = "usage: crv";
  while (!current->get_subcommands().empty()) {
    current = current->get_subcommands().front();
    usage += " " + current->get_name();
  }
  usage += " [-h]";
  for (const CLI::Option* option : current->get_options()) {
    if (option == current->get_help_ptr()) continue;
    std::string name = option->get_name();
    if (option->get_items_expected_max() != 0) {
      // An option with a fixed set of values shows them, as "{a,b}".
      const std::string type = option->get_type_name();
      name += " " + (type.starts_with('{') ? type : metavar(name));
    }
    usage += option->get_required() ? " " + name : " [" + name + "]";
  }
  std::string names;
  for (const CLI::App* sub : current->get_subcommands({})) {
    names += (names.empty() ? "" : ",") + sub->get_name();
  }
  if (!names.empty()) usage += " {" + names + "} ...";
  return usage;
}

// The deepest subcommand the parser reached.
const CLI::App& reached(const CLI::App& app) {
  const CLI::App* current = &app;
  while (!current->get_subcommands().empty()) current = current->get_subcommands().front();
  return *current;
}

// The parser's message, except that a word where a subcommand was expected is named as
// such rather than reported as a missing subcommand.
std::string error_message(const CLI::App& app, const CLI::ParseError& error) {
  const CLI::App& current = reached(app);
  const auto extra = current.remaining();
  const auto choices = current.get_subcommands({});
  if (extra.empty() || choices.empty()) return error.what();
  std::string names;
  for (const CLI::App* sub : choices) {
    names += (names.empty() ? "'" : ", '") + sub->get_name() + "'";
  }
  return "invalid choice: '" + extra.front() + "' (choose from " + names + ")";
}

// An assistant runs the hook commands on every prompt and tool use and takes a failing
// status as a reason to block them: unless --strict is among its words, a hook command
// line that the parser rejects fails open as the hook's other failures do.
bool fails_open(const CLI::App& app, int argc, const char* const* argv) {
  const auto subcommands = app.get_subcommands();
  if (subcommands.empty() || subcommands.front()->get_name() != "hook") return false;
  const std::span<const char* const> words(argv + 1, static_cast<std::size_t>(argc - 1));
  return std::none_of(words.begin(), words.end(),
                      [](std::string_view word) { return word == "--strict"; });
}

// "crv hook prompt: ": the subcommands the parser reached, as a hook's messages begin.
std::string message_prefix(const CLI::App& app) {
  std::string prefix = "crv";
  for (const CLI::App* current = &app; !current->get_subcommands().empty();) {
    current = current->get_subcommands().front();
    prefix += " " + current->get_name();
  }
  return prefix + ": ";
}

}  // namespace

ParseOutcome parse_command_line(int argc, const char* const* argv, const Locations& locations,
                                std::ostream& out, std::ostream& err) {
  Grammar grammar(locations);
  CLI::App& app = grammar.app;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForVersion& version) {
    out << version.what() << "\n";
    return {std::nullopt, STATUS_OK};
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return {std::nullopt, STATUS_OK};
  } catch (const CLI::ParseError& error) {
    if (fails_open(app, argc, argv)) {
      err << message_prefix(app) << error_message(app, error) << "\n";
      return {std::nullopt, STATUS_OK};
    }
    err << usage_line(app) << "\ncrv: error: " << error_message(app, error) << "\n";
    return {std::nullopt, STATUS_USAGE};
  }
  return {std::move(*grammar.state.selected), STATUS_OK};
}

void visit_grammar(const Locations& locations, const std::function<void(const CLI::App&)>& visit) {
  const Grammar grammar(locations);
  visit(grammar.app);
}

}  // namespace plinthar::query

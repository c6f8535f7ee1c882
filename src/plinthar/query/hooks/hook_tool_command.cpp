#include "plinthar/query/hooks/hook_tool_command.hpp"

#include <array>
#include <istream>
#include <utility>

#include "plinthar/query/data/action_log.hpp"
#include "plinthar/query/hooks/context_budget.hpp"
#include "plinthar/text/ascii.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 9> TOOL_KINDS = {{
    {"Edit", "edit"},
    {"MultiEdit", "edit"},
    {"Write", "edit"},
    {"NotebookEdit", "edit"},
    {"Bash", "command"},
    {"Read", "read"},
    {"Grep", "search"},
    {"Glob", "search"},
    {"LS", "read"},
}};

std::string text_member(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// `path` relative to `root` when it lies inside it, else as given.
std::string project_path(const std::string& path, const fs::path& root) {
  const fs::path relative = fs::path(path).lexically_relative(root);
  if (relative.empty() || *relative.begin() == "..") return path;
  return relative.string();
}

std::string whole_summary(const Json& tool_input, const fs::path& project_root) {
  for (const char* key : {"file_path", "notebook_path"}) {
    const std::string path = text_member(tool_input, key);
    if (!path.empty()) return project_path(path, project_root);
  }
  const std::string command = text_member(tool_input, "command");
  const auto lines = text::first_lines(command, 1);
  return lines.empty() ? std::string() : std::string(lines.front());
}

// Shortened as the block would show it, so that a long one-line command does not fill
// the log.
std::string action_summary(const Json& tool_input, const fs::path& project_root) {
  return text::cp_shortened(whole_summary(tool_input, project_root), MOST_SUMMARY_CHARS);
}

}  // namespace

std::string action_kind(std::string_view tool_name) {
  for (const auto& [tool, kind] : TOOL_KINDS) {
    if (tool == tool_name) return std::string(kind);
  }
  std::string kind(tool_name);
  for (char& c : kind) c = text::ascii_lower(static_cast<unsigned char>(c));
  return kind;
}

Json tool_action_record(const ToolEvent& event, const fs::path& project_root,
                        std::string timestamp) {
  Json meta = Json::object();
  meta["tool"] = event.tool_name;
  return make_action_record(std::move(timestamp), action_kind(event.tool_name),
                            action_summary(event.tool_input, project_root), std::move(meta));
}

int cmd_hook_tool(const HookToolOptions& options, const Locations& locations,
                  const Streams& streams) {
  return run_hook("tool", options.guard, streams, [&](std::ostream&) {
    const ToolEvent event = parse_tool_event(read_all(streams.in));
    const Locations here = event_locations(locations, event.cwd);
    const Json record =
        tool_action_record(event, here.default_root, format_timestamp(now_microseconds()));
    ensure_data_dir(here);
    append_line(here.action_log, text::to_compact(record) + "\n", here.data_links);
  });
}

}  // namespace plinthar::query

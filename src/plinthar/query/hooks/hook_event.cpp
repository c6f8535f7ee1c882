#include "plinthar/query/hooks/hook_event.hpp"

#include <filesystem>
#include <istream>
#include <iterator>
#include <system_error>

#include "plinthar/error.hpp"
#include "plinthar/query/data/data_directory.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {
namespace {

Json event_object(std::string_view text) {
  Json event;
  try {
    event = text::parse_json(text);
  } catch (const Error& error) {
    throw Error(std::string("hook input is not JSON: ") + error.what());
  }
  if (!event.is_object()) throw Error("hook input is not a JSON object");
  return event;
}

std::string required_text(const Json& event, const char* key) {
  const auto found = event.find(key);
  if (found == event.end() || !found->is_string()) {
    throw Error(std::string("hook input has no \"") + key + "\" text");
  }
  return found->get<std::string>();
}

std::optional<std::string> optional_text(const Json& event, const char* key) {
  const auto found = event.find(key);
  if (found == event.end() || found->is_null()) return std::nullopt;
  if (!found->is_string()) throw Error(std::string("hook input's \"") + key + "\" is not text");
  return found->get<std::string>();
}

}  // namespace

PromptEvent parse_prompt_event(std::string_view text) {
  const Json event = event_object(text);
  return {required_text(event, "prompt"), optional_text(event, "cwd")};
}

ToolEvent parse_tool_event(std::string_view text) {
  const Json event = event_object(text);
  ToolEvent tool{required_text(event, "tool_name"), Json::object(), optional_text(event, "cwd")};
  if (const auto input = event.find("tool_input"); input != event.end() && !input->is_null()) {
    if (!input->is_object()) throw Error("hook input's \"tool_input\" is not an object");
    tool.tool_input = *input;
  }
  return tool;
}

namespace {

Locations located_for_event(const Locations& started, const std::optional<std::string>& cwd) {
  namespace fs = std::filesystem;
  if (!cwd || cwd->empty() || process_env("CORVEL_PROJECT_ROOT")) return started;
  std::error_code error;
  const fs::file_status status = fs::status(*cwd, error);
  if (!error && !fs::is_directory(status)) error = std::make_error_code(std::errc::not_a_directory);
  if (error) throw Error("cannot enter the hook's folder " + *cwd + ": " + error.message());
  return locate(started.base_dir, process_env, fs::absolute(*cwd));
}

}  // namespace

Locations event_locations(const Locations& started, const std::optional<std::string>& cwd) {
  Locations here = located_for_event(started, cwd);
  require_usable_data_dir(here);
  // A hook runs wherever the assistant was started: outside a project it does nothing
  // rather than make a project of whatever folder that is.
  if (!here.project_found) {
    throw Error("no project at " + here.default_root.string() +
                " (no folder holding .git, .hg or .corvel above it)");
  }
  return here;
}

std::string read_all(std::istream& in) {
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw Error("cannot read the hook input");
  return text;
}

}  // namespace plinthar::query

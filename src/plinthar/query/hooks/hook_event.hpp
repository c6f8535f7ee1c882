#pragma once

// What an assistant hands a hook on standard input: one JSON object per event. crv reads
// the few members it needs and ignores the rest (session, transcript, event name).

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "plinthar/query/data/locations.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// A prompt about to be sent: its text and the folder the assistant works in.
struct PromptEvent {
  std::string prompt;
  std::optional<std::string> cwd;
};

// A finished tool use: the tool's name, its input (an object, empty when the event has
// none) and the folder the assistant works in.
struct ToolEvent {
  std::string tool_name;
  Json tool_input = Json::object();
  std::optional<std::string> cwd;
};

// Throw plinthar::Error for text that is not one JSON object, or when a member they need
// is missing or of the wrong type ("prompt" and "tool_name" text, "tool_input" an
// object, "cwd" text when present).
PromptEvent parse_prompt_event(std::string_view text);
ToolEvent parse_tool_event(std::string_view text);

// The locations for an event that happened in the folder `cwd`: when CORVEL_PROJECT_ROOT
// is not set, those of the program as if it had been started there (the working
// directory of the process stays as it is); otherwise `started`. Throws plinthar::Error
// when the folder cannot be entered, when its data directory must not be used, and for
// an installed program when no project holds the folder.
Locations event_locations(const Locations& started, const std::optional<std::string>& cwd);

// Everything left on `in`. Throws plinthar::Error when reading fails.
std::string read_all(std::istream& in);

}  // namespace plinthar::query

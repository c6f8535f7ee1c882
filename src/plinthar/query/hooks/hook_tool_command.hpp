#pragma once

// `crv hook tool`: a finished tool use of the assistant, recorded in the action log.

#include <filesystem>
#include <string>
#include <string_view>

#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/hooks/hook_event.hpp"
#include "plinthar/query/hooks/hook_guard.hpp"

namespace plinthar::query {

struct HookToolOptions {
  HookGuard guard;
};

// Reads the event from the input stream and appends its action record. Fails open (see
// hook_guard.hpp); prints nothing.
int cmd_hook_tool(const HookToolOptions& options, const Locations& locations,
                  const Streams& streams);

// The kind of action a tool performs: "edit" for the editing tools, "command" for the
// shell, "read" and "search" for reading and finding, else the tool's name in lower case.
std::string action_kind(std::string_view tool_name);

// The action record of `event` at `timestamp`: the kind, the file the tool worked on
// (relative to `project_root` when inside it) or the first line of its command, shortened
// to MOST_SUMMARY_CHARS characters, and the tool's name under "tool" in "meta".
Json tool_action_record(const ToolEvent& event, const std::filesystem::path& project_root,
                        std::string timestamp);

}  // namespace plinthar::query

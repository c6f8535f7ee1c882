#pragma once

// crv's hooks in an assistant's settings: under "hooks", one list of matcher groups per
// event, each group with its "hooks" (see examples/hooks/settings.json). Setup adds a
// group of its own per event, so that taking it out again leaves everyone else's
// groups as they were.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/text/json.hpp"

namespace plinthar::query::setup {

using text::Json;

struct HookEntry {
  std::string event;    // "UserPromptSubmit", "PostToolUse"
  std::string matcher;  // the tools it applies to; empty for an event without tools
  std::string command;  // the shell command the assistant runs
  int timeout = 0;      // seconds the assistant waits for it
};

// The two hooks of the crv started by the shell word `crv_word`: `hook prompt` before each
// prompt, `hook tool` after each edit or command.
std::vector<HookEntry> crv_hooks(std::string_view crv_word);

// Adds each hook that `settings` does not hold yet (a hook of its event with the same
// command) as a group of its own, and says what it added, one line each. Throws
// plinthar::Error, leaving `settings` as it was, when the members on the way are not of
// the types hooks need.
std::vector<std::string> add_hooks(Json& settings, std::span<const HookEntry> hooks);

// Takes out every hook of the events of `hooks` with the same command, then the groups,
// event lists and "hooks" object that this leaves empty, and says what it took out.
std::vector<std::string> remove_hooks(Json& settings, std::span<const HookEntry> hooks);

}  // namespace plinthar::query::setup

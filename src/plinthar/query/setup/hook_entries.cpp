#include "plinthar/query/setup/hook_entries.hpp"

#include <algorithm>

#include "plinthar/query/setup/json_members.hpp"

namespace plinthar::query::setup {
namespace {

constexpr int HOOK_TIMEOUT_SECONDS = 15;
constexpr std::string_view EDIT_TOOLS = "Edit|MultiEdit|Write|NotebookEdit|Bash";

bool runs(const Json& hook, const HookEntry& entry) {
  return hook.is_object() && hook.value("type", Json()) == "command" &&
         hook.value("command", Json()) == entry.command;
}

bool group_runs(const Json& group, const HookEntry& entry) {
  const auto hooks = group.is_object() ? group.find("hooks") : group.end();
  if (!group.is_object() || hooks == group.end() || !hooks->is_array()) return false;
  return std::any_of(hooks->begin(), hooks->end(),
                     [&](const Json& hook) { return runs(hook, entry); });
}

Json group_of(const HookEntry& entry) {
  Json hook = Json::object();
  hook["type"] = "command";
  hook["command"] = entry.command;
  hook["timeout"] = entry.timeout;
  Json group = Json::object();
  if (!entry.matcher.empty()) group["matcher"] = entry.matcher;
  group["hooks"] = Json::array({hook});
  return group;
}

std::string described(const HookEntry& entry) {
  std::string text = entry.event + " hook \"" + entry.command + "\"";
  if (!entry.matcher.empty()) text += " for " + entry.matcher;
  return text;
}

// Takes the hooks running `entry` out of the group; true when it took any.
bool remove_from_group(Json& group, const HookEntry& entry) {
  if (!group_runs(group, entry)) return false;
  Json& hooks = group["hooks"];
  Json kept = Json::array();
  for (Json& hook : hooks) {
    if (!runs(hook, entry)) kept.push_back(std::move(hook));
  }
  hooks = std::move(kept);
  return true;
}

// Takes the hooks running `entry` out of the event's list, then the groups left empty.
bool remove_from_event(Json& groups, const HookEntry& entry) {
  bool removed = false;
  Json kept = Json::array();
  for (Json& group : groups) {
    const bool took = remove_from_group(group, entry);
    removed = removed || took;
    if (!(took && group["hooks"].empty())) kept.push_back(std::move(group));
  }
  groups = std::move(kept);
  return removed;
}

}  // namespace

std::vector<HookEntry> crv_hooks(std::string_view crv_word) {
  const std::string crv(crv_word);
  return {{"UserPromptSubmit", "", crv + " hook prompt", HOOK_TIMEOUT_SECONDS},
          {"PostToolUse", std::string(EDIT_TOOLS), crv + " hook tool", HOOK_TIMEOUT_SECONDS}};
}

std::vector<std::string> add_hooks(Json& settings, std::span<const HookEntry> hooks) {
  Json changed = settings;
  std::vector<std::string> added;
  Json& events = object_member(changed, "hooks", "\"hooks\"");
  for (const HookEntry& entry : hooks) {
    Json& groups = array_member(events, entry.event, "\"hooks\"." + entry.event);
    if (std::any_of(groups.begin(), groups.end(),
                    [&](const Json& group) { return group_runs(group, entry); })) {
      continue;
    }
    groups.push_back(group_of(entry));
    added.push_back("add " + described(entry));
  }
  if (!added.empty()) settings = std::move(changed);
  return added;
}

std::vector<std::string> remove_hooks(Json& settings, std::span<const HookEntry> hooks) {
  std::vector<std::string> removed;
  const auto events = settings.find("hooks");
  if (events == settings.end() || !events->is_object()) return removed;
  for (const HookEntry& entry : hooks) {
    const auto groups = events->find(entry.event);
    if (groups == events->end() || !groups->is_array()) continue;
    if (!remove_from_event(*groups, entry)) continue;
    removed.push_back("remove " + described(entry));
    erase_if_empty(*events, entry.event);
  }
  if (!removed.empty()) erase_if_empty(settings, "hooks");
  return removed;
}

}  // namespace plinthar::query::setup

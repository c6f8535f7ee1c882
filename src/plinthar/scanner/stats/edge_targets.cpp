#include "plinthar/scanner/stats/edge_targets.hpp"

#include <algorithm>
#include <array>

#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/stats/file_facts.hpp"

namespace plinthar::scanner {

namespace {

// Extensions an import specifier may carry for a module written in another: ./util.js
// also names util.ts.
constexpr std::array<std::string_view, 11> MODULE_EXTENSIONS = {
    ".ts", ".tsx", ".js", ".jsx", ".py", ".go", ".swift", ".json", ".md", ".yaml", ".yml"};

std::vector<std::string_view> components(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) {
      parts.push_back(path.substr(start));
      return parts;
    }
    parts.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
}

std::string_view module_head(std::string_view target) {
  const std::string_view ext = file_extension(target);
  std::string lower(ext);
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const bool known = std::find(MODULE_EXTENSIONS.begin(), MODULE_EXTENSIONS.end(), lower) !=
                     MODULE_EXTENSIONS.end();
  return known ? target.substr(0, target.size() - ext.size()) : target;
}

std::string_view strip_slashes(std::string_view key) {
  while (!key.empty() && key.front() == '/') key.remove_prefix(1);
  while (!key.empty() && key.back() == '/') key.remove_suffix(1);
  return key;
}

// Leading folders of `from` that `candidate` shares, component by component.
std::size_t common_directories(std::string_view from, std::string_view candidate) {
  const auto from_parts = components(from);
  const auto candidate_parts = components(candidate);
  std::size_t n = 0;
  while (n + 1 < from_parts.size() && n < candidate_parts.size() &&
         from_parts[n] == candidate_parts[n]) {
    ++n;
  }
  return n;
}

std::string replace_dots(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '.', '/');
  return out;
}

}  // namespace

std::string join_path(std::string_view base, std::string_view rel) {
  std::vector<std::string_view> parts;
  for (const std::string_view part : components(base)) {
    if (!part.empty()) parts.push_back(part);
  }
  for (const std::string_view part : components(rel)) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
  }
  std::string out;
  for (const std::string_view part : parts) {
    if (!out.empty()) out += '/';
    out += part;
  }
  return out;
}

EdgeTargets::EdgeTargets(const std::vector<std::string_view>& file_ids)
    : ids_(file_ids.begin(), file_ids.end()) {
  for (std::uint32_t i = 0; i < ids_.size(); ++i) {
    const std::string_view id = ids_[i];
    const std::string_view head = without_extension(id);
    std::vector<std::string_view> keys = {id, head};
    const std::string_view head_name = head.substr(head.rfind('/') + 1);
    if (head_name == "index" || head_name == "__init__") keys.push_back(parent_directory(head));
    if (id.substr(id.rfind('/') + 1) == "__init__.py") packages_.emplace(parent_directory(id));
    for (const std::string_view key : keys) {
      keys_.try_emplace(key, i);
      const auto parts = components(key);
      std::size_t offset = 0;
      for (std::size_t k = 0; k < parts.size(); ++k) {
        std::vector<std::uint32_t>& bucket = suffixes_[key.substr(offset)];
        if (bucket.empty() || bucket.back() != i) bucket.push_back(i);
        offset += parts[k].size() + 1;
      }
    }
  }
}

std::optional<std::uint32_t> EdgeTargets::exact(std::string_view key) const {
  key = strip_slashes(key);
  if (const auto found = keys_.find(key); found != keys_.end()) return found->second;
  const std::string_view head = module_head(key);
  if (head.size() == key.size()) return std::nullopt;
  if (const auto found = keys_.find(head); found != keys_.end()) return found->second;
  return std::nullopt;
}

// Of the files whose key ends in `key` (or in `key` without its module extension), the
// one sharing the most leading folders with `from`, then the first in graph order.
std::optional<std::uint32_t> EdgeTargets::nearest_with_suffix(std::string_view key,
                                                              std::string_view from) const {
  key = strip_slashes(key);
  auto found = suffixes_.find(key);
  if (found == suffixes_.end() || found->second.empty()) found = suffixes_.find(module_head(key));
  if (found == suffixes_.end() || found->second.empty()) return std::nullopt;
  std::optional<std::uint32_t> best;
  std::size_t best_shared = 0;
  for (const std::uint32_t candidate : found->second) {
    const std::size_t shared = common_directories(from, ids_[candidate]);
    if (!best || shared > best_shared) {
      best = candidate;
      best_shared = shared;
    }
  }
  return best;
}

// A Python module: relative ones (".service", "..models", ".") from the importing file's
// package, absolute ones from a folder that is not a package itself (the root, src/ ...):
// "typing" is not src/flask/typing.py, since src/flask is a package.
std::optional<std::uint32_t> EdgeTargets::python_module(std::string_view base,
                                                        std::string_view target) const {
  if (target.starts_with('.')) {
    const std::size_t dots = target.find_first_not_of('.') == std::string_view::npos
                                 ? target.size()
                                 : target.find_first_not_of('.');
    std::string_view folder = base;
    for (std::size_t up = 1; up < dots; ++up) folder = parent_directory(folder);
    const std::string rest = replace_dots(target.substr(dots));
    std::string key(folder);
    if (!key.empty() && !rest.empty()) key += '/';
    key += rest;
    return exact(key);
  }
  const std::string key = replace_dots(target);
  const auto found = suffixes_.find(key);
  if (found == suffixes_.end()) return std::nullopt;
  for (const std::uint32_t candidate : found->second) {
    const std::string_view id = ids_[candidate];
    if (!id.ends_with(".py")) continue;
    std::string_view head = without_extension(id);
    if (head.ends_with("/__init__") || head == "__init__") head = parent_directory(head);
    if (head != key && !head.ends_with("/" + key)) continue;
    std::string_view root = head.substr(0, head.size() - key.size());
    while (!root.empty() && root.back() == '/') root.remove_suffix(1);
    if (!packages_.contains(root)) return candidate;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> EdgeTargets::resolve(std::string_view from, std::string_view target,
                                                  std::string_view rel) const {
  if (target.empty()) return std::nullopt;
  const std::string_view base = parent_directory(from);
  if (from.ends_with(".py") && rel == "imports" && target.find('/') == std::string_view::npos) {
    return python_module(base, target);
  }
  if (target.starts_with("./") || target.starts_with("../") || target == "." || target == "..") {
    return exact(join_path(base, target));
  }
  std::string_view s = target;
  for (const std::string_view prefix : {"@/", "~/", "/"}) {
    if (s.starts_with(prefix)) {
      s.remove_prefix(prefix.size());
      break;
    }
  }
  const bool has_slash = s.find('/') != std::string_view::npos;
  if (!has_slash && rel != "references") return std::nullopt;  // a package: react, lodash
  if (auto found = exact(join_path(base, s))) return found;
  if (auto found = exact(s)) return found;
  if (auto found = nearest_with_suffix(s, from)) return found;
  if (rel != "references" && has_slash) {
    return nearest_with_suffix(s.substr(s.find('/') + 1), from);  // zustand/middleware
  }
  return std::nullopt;
}

}  // namespace plinthar::scanner

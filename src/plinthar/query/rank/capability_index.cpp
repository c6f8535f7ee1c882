#include "plinthar/query/rank/capability_index.hpp"

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_map>

#include "plinthar/error.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::query {

namespace {

// The capability being read: collects keywords and files until the next heading.
class CapabilityReader {
 public:
  void read_line(std::string_view line) {
    if (line.empty()) return;
    if (line.starts_with("## ")) {
      close();
      name_ = text::trim(line.substr(3));
    } else if (text::to_lower(line).starts_with("keywords:")) {
      keywords_ = _parse_keywords(line.substr(line.find(':') + 1));
    } else if (line.starts_with("- ")) {
      add_file(line.substr(2));
    }
  }

  // Ends the current capability, keeping it when it has a name and something under it.
  void close() {
    if (!name_.empty() && (!keywords_.empty() || !files_.empty())) {
      entries_.push_back(
          CapabilityEntry{std::move(name_), std::move(keywords_), std::move(files_)});
    }
    name_.clear();
    keywords_.clear();
    files_.clear();
  }

  std::vector<CapabilityEntry> take_entries() { return std::move(entries_); }

 private:
  static std::vector<std::string> _parse_keywords(std::string_view list) {
    std::vector<std::string> keywords;
    std::size_t start = 0;
    for (;;) {
      const auto comma = list.find(',', start);
      const std::string_view piece = text::trim(list.substr(start, comma - start));
      if (!piece.empty()) keywords.push_back(text::to_lower(piece));
      if (comma == std::string_view::npos) return keywords;
      start = comma + 1;
    }
  }

  void add_file(std::string_view item) {
    item = text::trim(item);
    const auto first = item.find_first_not_of('`');
    item = first == std::string_view::npos
               ? std::string_view{}
               : item.substr(first, item.find_last_not_of('`') - first + 1);
    if (item.find('/') != std::string_view::npos && item.find('.') != std::string_view::npos) {
      files_.emplace_back(item);
    }
  }

  std::string name_;
  std::vector<std::string> keywords_;
  std::vector<std::string> files_;
  std::vector<CapabilityEntry> entries_;
};

}  // namespace

std::vector<CapabilityEntry> parse_capability_index(std::string_view bytes) {
  const std::string text = text::decode_text(bytes);
  CapabilityReader reader;
  for (const std::string_view line : text::split_lines(text)) reader.read_line(text::trim(line));
  reader.close();
  return reader.take_entries();
}

std::vector<CapabilityEntry> load_capability_index(const std::filesystem::path& path) {
  const text::WholeFile file = text::read_whole_file(path, text::Links::not_followed);
  switch (file.outcome) {
    case text::FileRead::read:
      return parse_capability_index(file.bytes);
    case text::FileRead::missing:
    case text::FileRead::not_regular:
      return {};
    case text::FileRead::directory:
    case text::FileRead::failed:
      break;
  }
  throw Error(text::read_failure(path, file));
}

FileBoosts capability_file_boosts(const std::vector<std::string>& query_terms,
                                  const std::vector<CapabilityEntry>& caps) {
  const std::set<std::string_view> q(query_terms.begin(), query_terms.end());
  FileBoosts boosts;
  std::unordered_map<std::string_view, std::size_t> position;
  for (const auto& cap : caps) {
    std::set<std::string> kw;
    for (const auto& keyword : cap.keywords) kw.insert(text::to_lower(keyword));
    const auto overlap =
        std::count_if(kw.begin(), kw.end(), [&q](const std::string& k) { return q.contains(k); });
    if (overlap == 0) continue;
    const std::int64_t cap_boost = 4 + 2 * static_cast<std::int64_t>(overlap);
    for (const auto& file : cap.files) {
      const auto [slot, inserted] = position.try_emplace(file, boosts.size());
      if (inserted) {
        boosts.emplace_back(file, cap_boost);
      } else {
        boosts[slot->second].second = std::max(boosts[slot->second].second, cap_boost);
      }
    }
  }
  return boosts;
}

CapabilityBoosts index_boosts(FileBoosts boosts) {
  CapabilityBoosts caps;
  caps.boosts = std::move(boosts);
  for (const auto& [key, boost] : caps.boosts) {
    caps.exact.emplace(key, boost);
    const std::string_view view = key;
    if (view.ends_with('/')) {
      caps.prefixes.emplace_back(view, boost);
    } else if (view.ends_with('*')) {
      caps.prefixes.emplace_back(view.substr(0, view.size() - 1), boost);
    }
  }
  return caps;
}

std::int64_t capability_boost(std::string_view node_id, const CapabilityBoosts& caps) {
  if (caps.exact.empty()) return 0;
  const auto exact = caps.exact.find(node_id);
  std::int64_t boost = exact != caps.exact.end() ? exact->second : 0;
  for (const auto& [prefix, prefix_boost] : caps.prefixes) {
    if (node_id.starts_with(prefix)) boost += prefix_boost;
  }
  return boost;
}

}  // namespace plinthar::query

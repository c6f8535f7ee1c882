#include "plinthar/index/term_stats_patch.hpp"

#include <algorithm>

#include <absl/container/flat_hash_map.h>

namespace plinthar::index {
namespace {

// What the changed files do to one term: the postings they drop, with the counts they
// must have had, and the postings they add.
struct TermChange {
  std::vector<Posting> dropped;
  std::vector<Posting> added;
};

using TermChanges = absl::flat_hash_map<std::string_view, TermChange>;

// The changes by term; nothing when a file's old terms do not add up to its lengths in
// `old` (then they are not all its terms).
std::optional<TermChanges> changes_by_term(const TermStats& old,
                                           const std::vector<ChangedFile>& changed) {
  TermChanges changes;
  for (const ChangedFile& file : changed) {
    FieldCounts total{};
    for (const auto& [term, count] : file.old_terms) {
      for (std::size_t f = 0; f < TERM_FIELDS; ++f) total[f] += count[f];
      changes[term].dropped.push_back({file.file, count});
    }
    for (std::size_t f = 0; f < TERM_FIELDS; ++f) {
      if (total[f] != old.length(file.file, f)) return std::nullopt;
    }
    for (const auto& [term, count] : file.terms) changes[term].added.push_back({file.file, count});
  }
  for (auto& [term, change] : changes) {
    const auto by_file = [](const Posting& a, const Posting& b) { return a.file < b.file; };
    std::sort(change.dropped.begin(), change.dropped.end(), by_file);
    std::sort(change.added.begin(), change.added.end(), by_file);
  }
  return changes;
}

// The postings of the `i`th term of `old` (none for a term it does not have) with
// `change` made; nothing when a dropped posting is not there as it should be.
std::optional<std::vector<Posting>> changed_postings(const TermStats& old,
                                                     std::optional<std::size_t> i,
                                                     const TermChange& change) {
  std::vector<Posting> kept;
  std::size_t dropped = 0;
  bool matches = true;
  if (i) {
    const bool whole = old.for_each_posting_at(*i, [&](const Posting& posting) {
      if (dropped < change.dropped.size() && change.dropped[dropped].file == posting.file) {
        matches = matches && change.dropped[dropped].count == posting.count;
        ++dropped;
      } else {
        kept.push_back(posting);
      }
    });
    if (!whole) return std::nullopt;
  }
  if (!matches || dropped != change.dropped.size()) return std::nullopt;
  std::vector<Posting> postings;
  postings.reserve(kept.size() + change.added.size());
  std::merge(kept.begin(), kept.end(), change.added.begin(), change.added.end(),
             std::back_inserter(postings),
             [](const Posting& a, const Posting& b) { return a.file < b.file; });
  return postings;
}

// The term list of `old` with `changes` made, in text order.
std::optional<TermLists> changed_lists(const TermStats& old, const TermChanges& changes) {
  std::vector<std::string_view> touched;
  touched.reserve(changes.size());
  for (const auto& [term, change] : changes) touched.push_back(term);
  std::sort(touched.begin(), touched.end());
  TermLists lists;
  std::size_t next = 0;  // in `touched`
  const auto add_changed = [&](std::string_view term, std::optional<std::size_t> i) {
    const auto postings = changed_postings(old, i, changes.find(term)->second);
    if (!postings) return false;
    if (!postings->empty()) lists.add(term, *postings);
    return true;
  };
  for (std::size_t i = 0; i < old.term_count(); ++i) {
    const std::string_view term = old.term_at(i);
    while (next < touched.size() && touched[next] < term) {
      if (!add_changed(touched[next++], std::nullopt)) return std::nullopt;
    }
    if (next < touched.size() && touched[next] == term) {
      if (!add_changed(touched[next++], i)) return std::nullopt;
      continue;
    }
    const auto bytes = old.postings_bytes_at(i);
    if (!bytes) return std::nullopt;
    lists.add(term, old.document_frequency_at(i), *bytes);
  }
  while (next < touched.size()) {
    if (!add_changed(touched[next++], std::nullopt)) return std::nullopt;
  }
  return lists;
}

// The per-file arrays of `old` with `changed` made: later files' nodes move by the
// symbols earlier ones gained or lost.
TermStatsParts changed_files(const TermStats& old, const std::vector<ChangedFile>& changed) {
  TermStatsParts parts;
  const std::size_t files = old.file_count();
  parts.node.reserve(files);
  parts.length.reserve(files * TERM_FIELDS);
  std::int64_t shift = 0;
  std::size_t next = 0;  // in `changed`
  for (std::size_t f = 0; f < files; ++f) {
    parts.node.push_back(static_cast<std::uint32_t>(old.node(f) + shift));
    parts.canonical.push_back(old.canonical(f));
    parts.stem.push_back(old.stem(f));
    if (next < changed.size() && changed[next].file == f) {
      const ChangedFile& file = changed[next++];
      FieldCounts length{};
      for (const auto& [term, count] : file.terms) {
        for (std::size_t k = 0; k < TERM_FIELDS; ++k) length[k] += count[k];
      }
      parts.length.insert(parts.length.end(), length.begin(), length.end());
      parts.size.push_back(file.size);
      parts.facts.push_back(file.facts);
      shift += file.added_nodes;
    } else {
      for (std::size_t k = 0; k < TERM_FIELDS; ++k) parts.length.push_back(old.length(f, k));
      parts.size.push_back(old.size(f));
      parts.facts.push_back(old.facts(f));
    }
  }
  for (std::uint32_t s = 0; s < old.stem_count(); ++s) parts.stems.emplace_back(old.stem_text(s));
  return parts;
}

}  // namespace

std::optional<std::string> patched_term_stats(const TermStats& old,
                                              const std::vector<ChangedFile>& changed,
                                              std::vector<std::uint32_t> edge_from,
                                              std::vector<std::uint32_t> edge_target) {
  for (std::size_t i = 0; i < changed.size(); ++i) {
    if (changed[i].file >= old.file_count() || (i > 0 && changed[i].file <= changed[i - 1].file)) {
      return std::nullopt;
    }
  }
  const auto changes = changes_by_term(old, changed);
  if (!changes) return std::nullopt;
  const auto lists = changed_lists(old, *changes);
  if (!lists) return std::nullopt;
  TermStatsParts parts = changed_files(old, changed);
  parts.edge_from = std::move(edge_from);
  parts.edge_target = std::move(edge_target);
  return term_stats_bytes(parts, *lists);
}

}  // namespace plinthar::index

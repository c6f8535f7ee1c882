#include "plinthar/text/words.hpp"

#include <algorithm>
#include <array>

namespace plinthar::text {

namespace {

// Sorted, for binary search.
constexpr auto STOP_WORDS = [] {
  std::array<std::string_view, 106> words = {
      "a",       "an",      "the",     "to",       "for",     "with",     "from",     "and",
      "or",      "of",      "on",      "in",       "by",      "at",       "as",       "is",
      "are",     "was",     "were",    "be",       "been",    "it",       "its",      "this",
      "that",    "these",   "those",   "into",     "onto",    "not",      "no",       "yes",
      "all",     "any",     "some",    "when",     "then",    "than",     "so",       "if",
      "else",    "but",     "also",    "via",      "per",     "you",      "your",     "we",
      "our",     "i",       "my",      "me",       "can",     "could",    "should",   "would",
      "will",    "shall",   "may",     "might",    "must",    "do",       "does",     "did",
      "done",    "make",    "makes",   "made",     "use",     "uses",     "used",     "using",
      "add",     "adds",    "added",   "adding",   "remove",  "removes",  "removed",  "removing",
      "fix",     "fixes",   "fixed",   "fixing",   "update",  "updates",  "updated",  "updating",
      "change",  "changes", "changed", "changing", "improve", "improved", "improves", "more",
      "less",    "new",     "old",     "get",      "set",     "allow",    "allows",   "allowed",
      "support", "supports"};
  std::sort(words.begin(), words.end());
  return words;
}();

std::size_t code_points(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

bool ends_with_any(std::string_view word, std::initializer_list<std::string_view> endings) {
  return std::any_of(endings.begin(), endings.end(),
                     [word](std::string_view ending) { return word.ends_with(ending); });
}

bool all_digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return is_ascii_digit(static_cast<unsigned char>(c)); });
}

}  // namespace

bool is_stop_word(std::string_view word) {
  return std::binary_search(STOP_WORDS.begin(), STOP_WORDS.end(), word);
}

std::string stem(std::string_view word) {
  std::string w(word);
  const std::size_t length = code_points(word);
  if (length > 4 && w.ends_with("ies")) {
    w.replace(w.size() - 3, 3, "y");
  } else if (length > 5 && w.ends_with("ing")) {
    w.resize(w.size() - 3);
  } else if (length > 4 && w.ends_with("ed")) {
    w.resize(w.size() - 2);
  } else if (length > 4 && ends_with_any(w, {"ses", "xes", "zes", "ches", "shes"})) {
    w.resize(w.size() - 2);
  } else if (length > 3 && w.ends_with('s') && !w.ends_with("ss")) {
    w.resize(w.size() - 1);
  }
  if (code_points(w) > 4 && w.ends_with('e')) w.pop_back();
  return w;
}

bool WordSplitter::keep_part(std::string_view part) {
  if (part.size() < MIN_WORD_PART || all_digits(part)) return false;
  part_.clear();
  for (const char c : part) part_.push_back(ascii_lower(static_cast<unsigned char>(c)));
  if (is_stop_word(part_)) return false;
  part_ = stem(part_);
  return true;
}

std::vector<std::string> WordSplitter::words(std::string_view text) {
  std::vector<std::string> out;
  for_each(text, [&out](std::string_view term) { out.emplace_back(term); });
  return out;
}

std::vector<std::string> words(std::string_view text) { return WordSplitter().words(text); }

std::vector<std::string> plain_words(std::string_view text) {
  std::vector<std::string> out;
  std::string word;
  const auto keep = [&] {
    if (!word.empty()) out.push_back(std::move(word));
    word.clear();
  };
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (is_ascii_lower(byte) || is_ascii_upper(byte) || is_ascii_digit(byte)) {
      word.push_back(ascii_lower(byte));
    } else {
      keep();
    }
  }
  keep();
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace plinthar::text

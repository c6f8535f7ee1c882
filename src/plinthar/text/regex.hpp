#pragma once

// A compiled regular expression over UTF-8 text, with the few operations the
// extractors need. Patterns compile once (hold them in function-local statics) with
// Unicode properties for \w, \s and \b, "\n" as the only newline, and the JIT where
// the platform has one. Offsets are byte offsets into the subject. A Regex may search on
// several threads at once: what a search writes is kept per thread.
//
// Subjects must be well-formed UTF-8: PCRE2 is told not to check them (a check on every
// call would make a loop of searches over one text quadratic), and on other bytes it
// reads out of bounds. Text from outside goes through decode_text or valid_utf8 first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plinthar::text {

enum RegexFlag : unsigned {
  NOFLAG = 0,
  IGNORECASE = 1u << 0,
  MULTILINE = 1u << 1,
  DOTALL = 1u << 2,
};

// Capturing groups a pattern may have (\1 to \9 in replacements).
constexpr std::size_t MAX_REGEX_GROUPS = 9;

// One match: the subject it was found in and the offsets of every group. Held inline,
// so that iterating over many matches allocates nothing.
class RegexMatch {
 public:
  using Offsets = std::array<std::size_t, 2 * (MAX_REGEX_GROUPS + 1)>;
  RegexMatch(std::string_view subject, const Offsets& offsets)
      : subject_(subject), offsets_(offsets) {}

  // Text of group `index` (0 is the whole match); empty when the group took no part.
  std::string_view group(std::size_t index = 0) const;
  // Whether group `index` took part in the match.
  bool matched(std::size_t index) const;
  std::size_t start(std::size_t index = 0) const { return offsets_[2 * index]; }
  std::size_t end(std::size_t index = 0) const { return offsets_[2 * index + 1]; }

 private:
  std::string_view subject_;
  Offsets offsets_;
};

class Regex {
 public:
  // Throws plinthar::Error naming the pattern when it does not compile or has more
  // than MAX_REGEX_GROUPS groups.
  explicit Regex(std::string_view pattern, unsigned flags = NOFLAG);
  ~Regex();
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // First match at or after byte `from`; lookbehind-like tests (\b, ^) see the whole text.
  std::optional<RegexMatch> search(std::string_view text, std::size_t from = 0) const;
  // Match anchored at the start of `text`.
  std::optional<RegexMatch> match(std::string_view text) const;
  // All non-overlapping matches, left to right.
  std::vector<RegexMatch> find_iter(std::string_view text) const;
  // Calls `visit` for each non-overlapping match, left to right; stops early when it
  // returns false.
  template <typename Visit>
  void for_each(std::string_view text, Visit&& visit) const {
    std::size_t from = 0;
    bool last_empty = false;
    while (from <= text.size()) {
      auto found = next_match(text, from, last_empty);
      if (!found) return;
      if (!visit(*found)) return;
      last_empty = found->start() == found->end();
      from = found->end();
    }
  }
  // Whole-match texts of every match.
  std::vector<std::string_view> find_all(std::string_view text) const;
  // Pieces of `text` between matches (group captures are not included).
  std::vector<std::string_view> split(std::string_view text) const;
  // `text` with every match replaced by `replacement`, where "\1".."\9" stand for groups.
  std::string sub(std::string_view replacement, std::string_view text) const;

  const std::string& pattern() const { return pattern_; }

 private:
  std::optional<RegexMatch> run(std::string_view text, std::size_t from,
                                std::uint32_t options) const;
  std::optional<RegexMatch> next_match(std::string_view text, std::size_t from,
                                       bool after_empty) const;

  struct Compiled;
  std::string pattern_;
  std::unique_ptr<Compiled> compiled_;
};

// A search that PCRE2 cannot finish within its limits, even on a retry with the
// interpreter and more memory (a pattern backtracking without end over some text), ends
// as if no further match followed, so the matches found before it stand. Each one is
// recorded for the caller to report: this returns the records of the calling thread
// since the last call, and clears them.
std::vector<std::string> take_unfinished_searches();

}  // namespace plinthar::text

#include "plinthar/scanner/extract/script_imports.hpp"

// The pattern `import\s+.*?\s+from\s+['"]([^'"]+)['"]` restarts its lazy `.*?` at every
// "import", so a long line of "import" words costs quadratic time when run as written.
// Its backtracking order reduces to a few facts that can be checked directly:
//
// - Everything after "from" has one way to match: the white space run after it, a quote,
//   the text up to the next quote (at least one character), that quote. Call a white
//   space run "good" when "from" follows it and that tail matches.
// - The first `\s+` first takes the whole run after "import", ending at R. The lazy `.*?`
//   then grows from R up to the end of R's line, and the second `\s+` must take a whole
//   run (the "f" of "from" is not white space). So the first good run that starts after
//   R, no later than the first "\n" at or after R, decides the match.
// - Failing that, the first `\s+` gives back characters; the only new split lets the
//   second `\s+` end at R itself, which needs at least two white space characters after
//   "import" and "from" at R.
//
// White space runs are the `\s+` runs: ASCII white space is recognised directly and any
// other character is asked of the engine, so white space means exactly what `\s` means.

#include <algorithm>
#include <optional>

#include "plinthar/scanner/extract/pattern_space.hpp"
#include "plinthar/text/ascii.hpp"
#include "plinthar/text/byte_finders.hpp"

namespace plinthar::scanner {

namespace {

struct Span {
  std::size_t start = 0;
  std::size_t end = 0;
};

bool is_quote(char c) { return c == '\'' || c == '"'; }

class SpaceRuns {
 public:
  // ASCII white space is recognised directly; any other character is asked of the
  // engine's own `\s`, one code point at a time, so the runs are exactly the `\s+` runs.
  explicit SpaceRuns(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
      const std::size_t length = pattern_space_length(text, pos);
      if (length == 0) {
        pos += text::utf8_length(static_cast<unsigned char>(text[pos]));
        continue;
      }
      Span run{pos, pos + length};
      while (run.end < text.size()) {
        const std::size_t more = pattern_space_length(text, run.end);
        if (more == 0) break;
        run.end += more;
      }
      runs_.push_back(run);
      pos = run.end;
    }
  }

  // The run that starts exactly at `pos`, if any.
  std::optional<Span> starting_at(std::size_t pos) const {
    const auto it = std::lower_bound(runs_.begin(), runs_.end(), pos,
                                     [](const Span& run, std::size_t p) { return run.start < p; });
    if (it == runs_.end() || it->start != pos) return std::nullopt;
    return *it;
  }

  const std::vector<Span>& runs() const { return runs_; }

 private:
  std::vector<Span> runs_;
};

class ScriptImportScanner {
 public:
  explicit ScriptImportScanner(std::string_view text)
      : text_(text), spaces_(text), next_newline_(text, '\n') {
    for (const Span& run : spaces_.runs()) {
      if (tail_at(run.end)) good_runs_.push_back(run);
    }
  }

  std::vector<TextMatch> scan() {
    std::vector<TextMatch> matches;
    std::size_t from = 0;
    for (std::size_t at = text_.find("import", from); at != std::string_view::npos;
         at = text_.find("import", from)) {
      if (const auto found = match_at(at)) {
        matches.push_back(*found);
        from = found->end;
      } else {
        from = at + 1;
      }
    }
    return matches;
  }

 private:
  // `from\s+['"]([^'"]+)['"]` at `pos`: the group span and the end of the match.
  std::optional<TextMatch> tail_at(std::size_t pos) const {
    if (text_.compare(pos, 4, "from") != 0) return std::nullopt;
    const auto gap = spaces_.starting_at(pos + 4);
    if (!gap) return std::nullopt;
    const std::size_t quote = gap->end;
    if (quote + 1 >= text_.size() || !is_quote(text_[quote]) || is_quote(text_[quote + 1])) {
      return std::nullopt;
    }
    const std::size_t closing = text_.find_first_of("'\"", quote + 1);
    if (closing == std::string_view::npos) return std::nullopt;
    return TextMatch{pos, closing + 1, text_.substr(quote + 1, closing - quote - 1)};
  }

  std::optional<TextMatch> match_at(std::size_t at) {
    const auto after_import = spaces_.starting_at(at + 6);
    if (!after_import) return std::nullopt;
    const std::size_t run_end = after_import->end;
    std::size_t line_end = next_newline_(run_end);
    if (line_end == std::string_view::npos) line_end = text_.size();

    const auto good =
        std::upper_bound(good_runs_.begin(), good_runs_.end(), run_end,
                         [](std::size_t pos, const Span& run) { return pos < run.start; });
    std::optional<TextMatch> tail;
    if (good != good_runs_.end() && good->start <= line_end) {
      tail = tail_at(good->end);
    } else if (has_two_characters(*after_import)) {
      tail = tail_at(run_end);
    }
    if (!tail) return std::nullopt;
    return TextMatch{at, tail->end, tail->group};
  }

  bool has_two_characters(const Span& run) const {
    return text::utf8_length(static_cast<unsigned char>(text_[run.start])) < run.end - run.start;
  }

  std::string_view text_;
  SpaceRuns spaces_;
  std::vector<Span> good_runs_;  // runs followed by a complete `from "module"` tail
  text::CharFinder next_newline_;
};

}  // namespace

std::vector<TextMatch> find_script_imports(std::string_view text) {
  if (!text::contains(text, "import") || !text::contains(text, "from")) return {};
  return ScriptImportScanner(text).scan();
}

}  // namespace plinthar::scanner

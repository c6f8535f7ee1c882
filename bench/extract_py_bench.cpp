// Timings of keyword, summary and Python symbol extraction on constructed worst
// cases (300000-byte hostile files), next to the same patterns run as first written
// where a rewritten form is used. Run: build/bench/extract_py_bench

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/scanner/extract/py_block_ends.hpp"
#include "plinthar/scanner/extract/summary.hpp"
#include "plinthar/scanner/extract/symbols_py.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/regex.hpp"

namespace {

using plinthar::text::Regex;
using plinthar::text::RegexMatch;

constexpr std::size_t FILE_BYTES = 300000;

// `unit` repeated up to the file size, then `tail`.
std::string fill(std::string_view unit, std::string_view tail = "", std::string_view head = "") {
  std::string out(head);
  while (out.size() + unit.size() + tail.size() <= FILE_BYTES) out.append(unit);
  out.append(tail);
  return out;
}

// Numbered units ("def\nf12(\n"), so that every repetition declares a new name.
std::string numbered(std::string_view before, std::string_view after) {
  std::string out;
  for (int i = 0;; ++i) {
    std::string unit = std::string(before) + std::to_string(i) + std::string(after);
    if (out.size() + unit.size() > FILE_BYTES) break;
    out += unit;
  }
  return out;
}

double best_ms(const std::function<std::size_t()>& run, std::size_t& result) {
  double best = 1e18;
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    result = run();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
    if (took.count() > 2000) break;  // one slow run is enough to tell
  }
  return best;
}

void report(std::string_view label, const std::function<std::size_t()>& run) {
  std::size_t result = 0;
  const double ms = best_ms(run, result);
  std::printf("  %-58.*s %10.3f ms  (%zu)\n", static_cast<int>(label.size()), label.data(), ms,
              result);
}

std::size_t count_matches(const Regex& pattern, std::string_view text) {
  std::size_t count = 0;
  pattern.for_each(text, [&](const RegexMatch&) {
    ++count;
    return true;
  });
  return count;
}

std::size_t anchored(const Regex& pattern, std::string_view text) {
  return pattern.match(text).has_value() ? 1 : 0;
}

struct Case {
  std::string name;
  std::string text;
  std::string ext;
  // The pattern as first written that this case attacks, when it is not used as is.
  const Regex* written = nullptr;
  bool written_anchored = false;
};

void run_case(const Case& c) {
  std::printf("%s (%zu bytes)\n", c.name.c_str(), c.text.size());
  if (c.written != nullptr) {
    report("pattern as written", [&] {
      return c.written_anchored ? anchored(*c.written, c.text) : count_matches(*c.written, c.text);
    });
  }
  report("extract_keywords",
         [&] { return plinthar::scanner::extract_keywords(c.text, c.ext).size(); });
  report("_make_summary",
         [&] { return plinthar::scanner::_make_summary(c.text, "pkg/mod" + c.ext, c.ext).size(); });
  if (c.ext == ".py") {
    report("extract_symbols_py",
           [&] { return plinthar::scanner::extract_symbols_py(c.text, "mod.py").size(); });
  }
}

// Block ends of every line, one forward scan each versus the per-file tree.
void block_end_case(std::string_view name, const std::string& text) {
  const auto lines = plinthar::text::split_lines(text);
  std::printf("%.*s (%zu lines)\n", static_cast<int>(name.size()), name.data(), lines.size());
  const std::size_t step = std::max<std::size_t>(1, lines.size() / 4000);
  report("_find_block_end_py, every line start", [&] {
    std::size_t sum = 0;
    for (std::size_t i = 0; i < lines.size(); i += step) {
      sum += plinthar::scanner::_find_block_end_py(lines, i);
    }
    return sum;
  });
  report("PyBlockEnds, every line start", [&] {
    const plinthar::scanner::PyBlockEnds ends(lines);
    std::size_t sum = 0;
    for (std::size_t i = 0; i < lines.size(); i += step) sum += ends.block_end(i);
    return sum;
  });
}

}  // namespace

int main() {
  using plinthar::text::DOTALL;
  using plinthar::text::MULTILINE;
  static const Regex camel_caps(R"(([A-Z]+)([A-Z][a-z]))");
  static const Regex comment_lazy(R"(\s*/\*\*?\s*(.*?)\*/)", DOTALL);
  static const Regex export_list(R"(export\s*\{([^}]+)\})");
  static const Regex go_func(R"(^func\s+(?:\([^)]+\)\s+)?([A-Z]\w*))", MULTILINE);
  static const Regex swift_type(
      R"(^(?:public\s+|private\s+|internal\s+|open\s+|final\s+)*(?:class|struct|enum|protocol|actor|extension)\s+([A-Za-z_]\w*))",
      MULTILINE);
  static const Regex swift_func(
      R"(^(?:\s*)(?:public\s+|private\s+|internal\s+|open\s+|static\s+|class\s+|mutating\s+|override\s+)*func\s+([A-Za-z_]\w*))",
      MULTILINE);

  const std::vector<Case> cases = {
      {"ordinary python module",
       numbered("@app.get('/items/{id}')\ndef handler_", "(x):\n    return x\n\n"), ".py"},
      {"one 300 KB line of identifier characters", fill("a"), ".py"},
      {"one 300 KB line of white space", fill(" ", "x"), ".py"},
      {"only line feeds", fill("\n", "c"), ".swift", &swift_func},
      {"capital run as a def name", "def " + fill("A", "(x):\n"), ".py", &camel_caps},
      {"capital run as a class name", "class " + fill("A", "b\n"), ".py"},
      {"route prefix and white space", fill(" ", "", "app . get ("), ".ts"},
      {"many registrations, no path", fill("r.get(  \n"), ".ts"},
      {"decorator, no closing quote", fill("x", "", "@a.get('"), ".py"},
      {"many export lists, none closed", fill("export{a,"), ".ts", &export_list},
      {"many exports and white space", fill("export default async  \n"), ".ts"},
      {"go receivers never closed", fill("func (\n"), ".go", &go_func},
      {"swift modifiers over many lines", fill("public\n"), ".swift", &swift_type},
      {"swift modifiers on one line", fill("public ", "class Xyz\n"), ".swift", &swift_type},
      {"swift static func over lines", fill("static\n", "c"), ".swift", &swift_func},
      {"block comment never closed", fill(" ", "x", "/*"), ".ts", &comment_lazy, true},
      {"block comment, star and spaces", fill(" ", "x", "/**"), ".js", &comment_lazy, true},
      {"docstring never closed", fill("a", "", "\"\"\""), ".py"},
      {"fetch without closing quote", fill("x", "", "fetch('/"), ".js"},
      {"many fetch calls", fill("fetch('/api/users/{id}?q=1') "), ".js"},
      {"thousands of decorators", fill("@app.post(\n"), ".py"},
      {"def lines whose names follow on the next line", numbered("def\nf", "(\n"), ".py"},
      {"async def split over lines", numbered("async\ndef\nf", "(\n"), ".py"},
      {"form feeds shift lines, then defs",
       fill("\f", numbered("def f", "(): pass\n").substr(0, 60000)), ".py"},
      {"defs in a block that never closes", numbered("def f", "(\n  x\n"), ".py"},
      {"class lines, then one long body",
       numbered("class C", ":\n").substr(0, 100000) + fill("  y = 1\n").substr(0, 200000), ".py"},
  };
  for (const Case& c : cases) run_case(c);

  std::printf("\n");
  block_end_case("indented lines, no closer", fill("    x = 1\n", "", "def f():\n"));
  block_end_case("defs whose names follow on the next line", numbered("def\nf", "(\n"));
  block_end_case("nested indents", fill("def a():\n    def b():\n        pass\n"));
  return 0;
}

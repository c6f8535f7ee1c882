// Timings of TS/JS symbol extraction and relation extraction on hostile inputs of up to
// 300000 bytes (the scanner's file size limit): long runs of name characters, white
// space, repeated keywords, thousands of declarations, blocks that never close.
//
// For each pass that runs a reformulated pattern or a scanner, "plain" times the pattern
// as written, at growing sizes until one run takes over a second, to show its growth;
// "ours" times what the extractor runs, at full size. The whole extractors are timed on
// every input at full size.

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "plinthar/scanner/extract/relations.hpp"
#include "plinthar/scanner/extract/symbols_ts.hpp"
#include "plinthar/text/regex.hpp"

namespace {

using plinthar::text::MULTILINE;
using plinthar::text::NOFLAG;
using plinthar::text::Regex;

constexpr std::size_t FULL = 300000;

std::string repeat(const std::string& piece, std::size_t bytes) {
  std::string out;
  out.reserve(bytes + piece.size());
  while (out.size() + piece.size() <= bytes) out += piece;
  return out;
}

std::string numbered(const std::string& before, const std::string& after, std::size_t bytes) {
  std::string out;
  for (std::size_t i = 0; out.size() < bytes; ++i) out += before + std::to_string(i) + after;
  return out;
}

template <typename Work>
double millis(Work&& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

struct Input {
  const char* name;
  std::function<std::string(std::size_t)> make;  // text of about the given size
};

struct PassBench {
  const char* label;
  const char* plain_pattern;
  unsigned flags;
  std::function<std::size_t(const std::string&)> ours;  // returns the number of matches
  std::vector<Input> inputs;
};

std::size_t count_plain(const Regex& pattern, const std::string& text) {
  std::size_t count = 0;
  pattern.for_each(text, [&](const plinthar::text::RegexMatch&) {
    ++count;
    return true;
  });
  return count;
}

void run_pass_bench(const PassBench& bench) {
  const Regex plain(bench.plain_pattern, bench.flags);
  for (const Input& input : bench.inputs) {
    std::printf("%-22s %-40s", bench.label, input.name);
    for (const std::size_t size : {10000u, 30000u, 100000u, 300000u}) {
      const std::string text = input.make(size);
      std::size_t matches = 0;
      const double ms = millis([&] { matches = count_plain(plain, text); });
      std::printf(" plain@%zuk %.2f ms (%zu)", size / 1000, ms, matches);
      if (ms > 1000) break;
    }
    const std::string text = input.make(FULL);
    std::size_t matches = 0;
    const double ms = millis([&] { matches = bench.ours(text); });
    std::printf(" | ours@300k %.2f ms (%zu)\n", ms, matches);
  }
}

std::function<std::size_t(const std::string&)> relation_pass(int pass) {
  return [pass](const std::string& text) {
    return plinthar::scanner::relation_pass_matches(pass, text).size();
  };
}

std::vector<PassBench> pass_benches() {
  return {
      {"relations pass 1",
       R"re(import\s+\(?\s*"([^"]+)")re",
       NOFLAG,
       relation_pass(1),
       {{"import + spaces + x\"y\"",
         [](std::size_t n) { return "import" + std::string(n, ' ') + "x\"y\""; }},
        {"import + spaces + ( x\"y\"",
         [](std::size_t n) { return "import" + std::string(n, ' ') + "( x\"y\""; }},
        {"(import + 1000 spaces + x\") repeated",
         [](std::size_t n) { return repeat("import" + std::string(1000, ' ') + "x\"", n); }}}},
      {"relations pass 2",
       R"re(import\s+.*?\s+from\s+[\'"]([^\'"]+)[\'"])re",
       NOFLAG,
       relation_pass(2),
       {{"line of 'import ' + x, then a match",
         [](std::size_t n) { return repeat("import ", n) + "x\nx from 'y'"; }},
        {"line of 'import from ' + x, then a match",
         [](std::size_t n) { return repeat("import from ", n) + "x\nx from 'y'"; }},
        {"line of 'import ' ending in from '",
         [](std::size_t n) { return repeat("import ", n) + "x from '\n"; }},
        {"'import  from \"' runs, no closing quote",
         [](std::size_t n) { return repeat("import  from \"a", n); }}}},
      {"relations pass 4",
       R"(^\s*import\s+([a-zA-Z0-9_\.]+))",
       MULTILINE,
       relation_pass(4),
       {{"newlines + import !", [](std::size_t n) { return std::string(n, '\n') + "import !"; }},
        {"' \\n' runs + import !", [](std::size_t n) { return repeat(" \n", n) + "import !"; }}}},
      {"relations pass 5",
       R"(^\s*from\s+([a-zA-Z0-9_\.]+)\s+import\s+)",
       MULTILINE,
       relation_pass(5),
       {{"newlines + from a import",
         [](std::size_t n) { return std::string(n, '\n') + "from a import"; }}}},
      {"relations pass 7",
       R"(([A-Za-z0-9_\-\/]+\.(go|py|tsx|ts|jsx|json|js|swift|md|yaml|yml)))",
       NOFLAG,
       relation_pass(7),
       {{"a... + .x", [](std::size_t n) { return std::string(n, 'a') + ".x"; }},
        {"a/a/... + .", [](std::size_t n) { return repeat("a/", n) + "."; }},
        {"(a x 3000 + .g) repeated",
         [](std::size_t n) { return repeat(std::string(3000, 'a') + ".g", n); }}}},
      {"ts arrow constants",
       R"(^export\s+(?:const|let)\s+([A-Za-z_]\w*)\s*=\s*(?:async\s+)?(?:function|\([^)]*\)\s*=>|\w+\s*=>))",
       MULTILINE,
       [](const std::string& text) { return plinthar::scanner::find_arrow_constants(text).size(); },
       {{"'export const a = (' lines, no ')'",
         [](std::size_t n) { return repeat("export const a = (\n", n); }},
        {"same, ')' without '=>' at the end",
         [](std::size_t n) { return repeat("export const a = (\n", n) + ")"; }},
        {"'export const a = async (' lines",
         [](std::size_t n) { return repeat("export const a = async (\n", n); }}}},
  };
}

// Whole-file inputs for both extractors.
std::vector<Input> file_inputs() {
  return {
      {"300 KB of 'a'", [](std::size_t n) { return std::string(n, 'a'); }},
      {"300 KB of 'a/' ending in '.'", [](std::size_t n) { return repeat("a/", n) + "."; }},
      {"300 KB of newlines", [](std::size_t n) { return std::string(n, '\n'); }},
      {"300 KB of spaces", [](std::size_t n) { return std::string(n, ' '); }},
      {"one line of 'import '", [](std::size_t n) { return repeat("import ", n); }},
      {"minified bundle line",
       [](std::size_t n) {
         return repeat("function a(b){return b&&{c:require(\"d/e.js\"),f:import(\"./g\")}};", n);
       }},
      {"functions, blocks never close",
       [](std::size_t n) { return numbered("export function useThing", "() {\n", n); }},
      {"functions, each closes own line",
       [](std::size_t n) { return numbered("export function f", "() { return 1; }\n", n); }},
      {"blocks closing 399 lines on",
       [](std::size_t n) {
         std::string out;
         for (std::size_t i = 0; out.size() < n; ++i) {
           out += "function f" + std::to_string(i) + "() {\n";
           if (i % 399 == 398) out += std::string(400, '}') + "\n";
         }
         return out;
       }},
      {"types without braces",
       [](std::size_t n) { return numbered("export type T", " = string\n", n); }},
      {"arrow constants",
       [](std::size_t n) { return numbered("export const handler", " = async (req) => {}\n", n); }},
      {"schema constants",
       [](std::size_t n) { return numbered("const s", "Schema = z.object({})\n", n); }},
      {"imports of every kind",
       [](std::size_t n) {
         return repeat(
             "import a from './a'\nimport \"b\"\nfrom c import d\nconst e = require('f')\n"
             "see g/h.ts\n",
             n);
       }},
  };
}

void run_file_benches() {
  for (const Input& input : file_inputs()) {
    const std::string text = input.make(FULL);
    std::size_t symbols = 0;
    std::size_t edges = 0;
    const double symbol_ms =
        millis([&] { symbols = plinthar::scanner::extract_symbols_ts(text, "bench.ts").size(); });
    const double edge_ms = millis(
        [&] { edges = plinthar::scanner::parse_relations_for("bench.ts", text, ".ts").size(); });
    std::printf("%-34s %7zu bytes  symbols %8.2f ms (%zu)  relations %8.2f ms (%zu)\n", input.name,
                text.size(), symbol_ms, symbols, edge_ms, edges);
  }
}

}  // namespace

int main() {
  std::printf("== Reformulated passes: plain pattern at growing sizes vs ours at 300k ==\n");
  for (const PassBench& bench : pass_benches()) run_pass_bench(bench);
  std::printf("\n== Whole extractors at 300k ==\n");
  run_file_benches();
  return 0;
}

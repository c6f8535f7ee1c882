// Where a scan spends its time: every stage of the per-file work, timed over a whole
// tree held in memory (so disk and page-cache costs are left out), then the graph
// writers. Run: build/bench/scan_stages_bench <tree>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/extract/keywords.hpp"
#include "plinthar/scanner/extract/relations.hpp"
#include "plinthar/scanner/extract/summary.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/short_hash.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"

namespace {

namespace ps = plinthar::scanner;
namespace pt = plinthar::text;

struct Loaded {
  std::string id;
  std::string ext;
  std::string path_ext;
  std::string text;
};

std::vector<Loaded> load_tree(const std::filesystem::path& root) {
  std::vector<Loaded> files;
  for (const auto& path : ps::walk_files(root)) {
    auto file = pt::read_small_file(path, ps::MAX_FILE_BYTES);
    if (!file) continue;
    const std::string path_ext(ps::file_extension(path.native()));
    files.push_back({path.lexically_relative(root).string(), pt::to_lower(path_ext), path_ext,
                     pt::decode_text(file->bytes)});
  }
  return files;
}

double time_ms(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

void report(std::string_view label, double ms, std::size_t result) {
  std::printf("  %-34.*s %9.1f ms  (%zu)\n", static_cast<int>(label.size()), label.data(), ms,
              result);
}

// Runs `stage` over every file and reports the total time and a checksum of its results.
void stage(std::string_view label, const std::vector<Loaded>& files,
           const std::function<std::size_t(const Loaded&)>& run) {
  std::size_t result = 0;
  const double ms = time_ms([&] {
    for (const Loaded& file : files) result += run(file);
  });
  report(label, ms, result);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scan_stages_bench <tree>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::vector<Loaded> files;
  const double load_ms = time_ms([&] { files = load_tree(root); });
  report("walk + read + decode", load_ms, files.size());

  stage("decode_text", files, [](const Loaded& f) { return pt::decode_text(f.text).size(); });
  stage("short_hash (file)", files, [](const Loaded& f) { return pt::short_hash(f.text).size(); });
  stage("_make_summary", files,
        [](const Loaded& f) { return ps::_make_summary(f.text, f.id, f.ext).size(); });
  stage("extract_keywords", files,
        [](const Loaded& f) { return ps::extract_keywords(f.text, f.ext).size(); });
  stage("split_lines", files, [](const Loaded& f) { return pt::split_lines(f.text).size(); });
  for (int pass = 1; pass <= 7; ++pass) {
    const std::string label = "relation pass " + std::to_string(pass);
    stage(label, files,
          [pass](const Loaded& f) { return ps::relation_pass_matches(pass, f.text).size(); });
  }
  stage("parse_relations_for", files,
        [](const Loaded& f) { return ps::parse_relations_for(f.id, f.text, f.path_ext).size(); });
  stage("_extract_symbols_for_file", files,
        [](const Loaded& f) { return ps::_extract_symbols_for_file(f.text, f.id, f.ext).size(); });

  ps::Json graph;
  const double scan_ms = time_ms([&] { graph = ps::scan(root); });
  report("scan (files from disk)", scan_ms, graph["node_count"].get<std::size_t>());
  std::size_t written = 0;
  const double write_ms = time_ms(
      [&] { pt::write_pretty(graph, [&](std::string_view piece) { written += piece.size(); }); });
  report("write_pretty", write_ms, written);
  report("destroy graph", time_ms([&] { graph = ps::Json(); }), 0);
  return 0;
}

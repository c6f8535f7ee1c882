#include "plinthar/scanner/refresh/refresh.hpp"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/scanner/refresh/pending_graph.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {
namespace {

namespace fs = std::filesystem;

// Random sources with imports, symbols and mentions of each other (files are named f0 to
// f4, so many of them name files that are there).
std::string random_source(std::mt19937& random, const std::string& ext) {
  static const std::vector<std::string> names = {"order", "user", "cart", "page", "api"};
  const std::string name = names[random() % names.size()];
  const std::string other = "f" + std::to_string(random() % 5);
  if (ext == ".py") {  // one to three functions: a rewrite may change the file's node count
    std::string text = "import os\nfrom ." + name + " import X\nfrom ." + other + " import Y\n";
    for (std::size_t defs = 1 + random() % 3; defs > 0; --defs) {
      text +=
          "\ndef " + name + std::to_string(random() % 9) + "():\n    return 'a/" + name + ".py'\n";
    }
    return text;
  }
  if (ext == ".ts") {
    return "import { A } from './" + name + "';\nimport { B } from './" + other +
           "';\nexport function use" + name + "() {}\n";
  }
  return "# " + name + "\n\nSee src/" + other + ".py and " + std::to_string(random() % 100) + "\n";
}

class TreeEditor {
 public:
  TreeEditor(const fs::path& root, std::mt19937& random) : root_(root), random_(random) {}

  // One random change of the tree (some of them change nothing a scan sees).
  void edit() {
    const auto files = existing(fs::file_type::regular);
    switch (random_() % 10) {
      case 0:
      case 1:
        write(pick_dir() / ("f" + std::to_string(random_() % 5) + pick_ext()));
        break;
      case 2:
        if (!files.empty()) rewrite_keeping_size_and_time(pick(files));
        break;
      case 3:
        if (!files.empty()) fs::remove(pick(files));
        break;
      case 4:
        if (!files.empty()) fs::rename(pick(files), pick_dir() / ("moved" + pick_ext()));
        break;
      case 5:
        if (!files.empty()) ::utimensat(AT_FDCWD, pick(files).c_str(), nullptr, 0);  // touch
        break;
      case 6: {
        const fs::path dir = pick_dir();
        if (dir.lexically_normal() == root_.lexically_normal() / "") break;
        std::error_code ignored;
        if (random_() % 2 == 0) {
          fs::remove_all(dir);
        } else {
          fs::rename(dir, root_ / ("renamed" + std::to_string(random_() % 3)), ignored);
        }
        break;
      }
      case 7: {
        // A link to a file outside the tree (one inside would give two files one id).
        const std::string name = "t" + std::to_string(random_() % 3) + ".py";
        const fs::path target = root_.parent_path() / "outside" / name;
        write(target);
        const fs::path link = root_ / "links" / ("link_" + name);
        fs::create_directories(link.parent_path());
        std::error_code ignored;
        if (random_() % 2 == 0) fs::remove(link, ignored);
        fs::create_symlink(target, link, ignored);
        break;
      }
      case 8:  // an edit of a file that stays: the files of the graph stay the same
        if (!files.empty() && random_() % 3 != 0) {
          const fs::path& file = pick(files);
          if (file.extension() == ".py") {  // its imports stay, a function comes
            std::ofstream(file, std::ios::app)
                << "\ndef extra" << random_() % 9 << "():\n    pass\n";
          } else {
            write(file);
          }
          break;
        }
        [[fallthrough]];
      default:
        write(pick_dir() / "notes.txt");
    }
  }

 private:
  std::vector<fs::path> existing(fs::file_type type) const {
    std::vector<fs::path> out;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) {
      const bool output = entry.path().lexically_relative(root_).string().starts_with("out");
      if (entry.symlink_status().type() == type && !output) out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  template <typename T>
  const T& pick(const std::vector<T>& from) {
    return from[random_() % from.size()];
  }
  fs::path pick_dir() {
    static const std::vector<std::string> dirs = {"", "src", "src/api", "web", "docs", "renamed1"};
    const fs::path dir = (root_ / pick(dirs)).lexically_normal();
    fs::create_directories(dir);
    return dir;
  }
  std::string pick_ext() {
    static const std::vector<std::string> exts = {".py", ".ts", ".md"};
    return pick(exts);
  }
  // Another text of the same size, with the modification time it had.
  void rewrite_keeping_size_and_time(const fs::path& path) {
    struct stat before {};
    ::stat(path.c_str(), &before);
    std::string text = testing::read_text(path);
    for (char& c : text) c = c == 'a' ? 'b' : c == 'b' ? 'a' : c;
    std::ofstream(path, std::ios::binary) << text;
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
  }

  void write(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << random_source(random_, path.extension().string());
  }

  fs::path root_;
  std::mt19937& random_;
};

// The term statistics a scan of `graph` (a graph map) gives.
std::string scanned_term_stats(const text::Json& graph) {
  TermStatsBuilder builder;
  for (const text::Json& node : graph["nodes"]) builder.add_node(stats_node_of(node));
  for (const text::Json& edge : graph["edges"]) {
    builder.add_edge(edge["from"].get<std::string>(), edge["to"].get<std::string>(),
                     edge["rel"].get<std::string>());
  }
  return builder.finish();
}

// The term statistics in the index of `graph_file`, "" when it has none.
std::string indexed_term_stats(const fs::path& graph_file) {
  const text::FileDescriptor fd(::open(graph_file.c_str(), O_RDONLY));
  const auto index = index::GraphIndex::open(index::graph_index_path(graph_file), fd.get());
  const auto section = index ? index->section(index::SectionKind::term_stats) : std::nullopt;
  return section ? std::string(*section) : std::string();
}

// Adds the term statistics of the graph in `graph_file` to its index, as the hybrid
// ranking's first call does.
void add_term_stats(const fs::path& graph_file, const text::Json& graph) {
  const text::FileDescriptor fd(::open(graph_file.c_str(), O_RDONLY));
  const auto index = index::GraphIndex::open(index::graph_index_path(graph_file), fd.get());
  ASSERT_TRUE(index.has_value());
  ASSERT_TRUE(
      index::replace_sections(index::graph_index_path(graph_file), *index,
                              {{index::SectionKind::term_stats, scanned_term_stats(graph)}}));
}

// The nodes and edges of a graph kept in memory, as a graph map holds them.
text::Json pending_objects(const PendingGraph& pending) {
  const auto object = [&pending](const index::GraphSpan& span, bool is_new) {
    if (is_new) return text::parse_json(pending.new_objects.substr(span.offset, span.length));
    std::string bytes(span.length, '\0');
    EXPECT_TRUE(text::read_exactly_at(pending.standing_file->get(), bytes.data(), bytes.size(),
                                      span.offset));
    return text::parse_json(bytes);
  };
  text::Json nodes = text::Json::array();
  for (std::size_t i = 0; i < pending.records.nodes.size(); ++i) {
    nodes.push_back(object(pending.records.node_spans[i], pending.node_new[i]));
  }
  text::Json edges = text::Json::array();
  for (std::size_t i = 0; i < pending.records.edges.size(); ++i) {
    edges.push_back(object(pending.records.edge_spans[i], pending.edge_new[i]));
  }
  return {{"nodes", std::move(nodes)}, {"edges", std::move(edges)}};
}

// After every edit a refresh gives byte for byte the graph of a full scan, with the term
// statistics a scan gives, and a refresh of a tree that did not change reads nothing and
// writes nothing.
TEST(Refresh, FollowsRandomEditsLikeAFullScan) {
  for (const RefreshMode mode : {RefreshMode::full_scan, RefreshMode::keep_analysis}) {
    std::mt19937 random(mode == RefreshMode::full_scan ? 7 : 8);
    testing::TempDir dir;
    const fs::path root = fs::canonical(dir.path()) / "proj";
    const fs::path graph = root / "out/info_graph.json";
    const fs::path parallel = dir.path() / "parallel.json";  // outside the tree
    fs::create_directories(root);
    TreeEditor editor(root, random);
    for (int i = 0; i < 8; ++i) editor.edit();
    fs::create_directories(graph.parent_path());
    write_graph_file(root, graph, {}, {graph});
    add_term_stats(graph, scan(root, {}, {graph}));
    int copied = 0;  // refreshes that took files over from the graph as it stood
    for (int step = 0; step < 25; ++step) {
      editor.edit();
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      // A graph kept in memory holds what the refresh below writes.
      RefreshLimits in_memory;
      in_memory.keep_graph_file = true;
      const auto kept = refresh_graph_file(graph, {graph}, mode, root, {}, in_memory);
      if (kept && kept->pending) {
        const text::Json expected = scan(root, {}, {graph, parallel});
        const text::Json objects = {{"nodes", expected["nodes"]}, {"edges", expected["edges"]}};
        ASSERT_EQ(pending_objects(*kept->pending), objects) << "step " << step;
        EXPECT_EQ(kept->pending->term_stats.value_or(""), scanned_term_stats(expected));
      }
      // Two links to one file give two files one id: then the caller scans in full.
      const auto result = refresh_graph_file(graph, {graph}, mode, root);
      if (!result) {
        write_graph_file(root, graph, {}, {graph});
        add_term_stats(graph, scan(root, {}, {graph}));
      }
      if (result && result->files_read <= 2) ++copied;
      const text::Json scanned = scan(root, {}, {graph, parallel});
      ASSERT_EQ(testing::read_text(graph), text::to_pretty(scanned)) << "step " << step;
      // A scan on any number of threads writes the same bytes as one thread, and the term
      // statistics it counts as it reads are those of the graph it wrote.
      const std::size_t jobs = 1 + static_cast<std::size_t>(step) % 4;
      write_graph_file(root, parallel, {}, {graph, parallel}, {}, {}, jobs, TermStatsChoice::built);
      ASSERT_EQ(testing::read_text(parallel), text::to_pretty(scanned)) << "jobs " << jobs;
      ASSERT_EQ(indexed_term_stats(parallel), scanned_term_stats(scanned)) << "jobs " << jobs;
      ASSERT_EQ(indexed_term_stats(graph), scanned_term_stats(scanned)) << "step " << step;
    }
    EXPECT_GT(copied, 15);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    refresh_graph_file(graph, {graph}, mode, root);
    const auto settled = refresh_graph_file(graph, {graph}, mode, root);
    ASSERT_TRUE(settled.has_value());
    EXPECT_FALSE(settled->rewritten);
    EXPECT_EQ(settled->files_read, 0u);
  }
}

}  // namespace
}  // namespace plinthar::scanner

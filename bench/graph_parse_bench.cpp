// Measures how fast a large graph file is read back: the work `crv retrieve` and
// `crv prime` do on every prompt before ranking. Generates a graph of a project with
// 10,000 files (contents, keywords, summaries, symbols, edges), writes it in the pretty
// form and times parsing it, the UTF-8 check and writing it.
//
// Usage: graph_parse_bench [file_count [graph_file_to_write]]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/utf8.hpp"

namespace {

using plinthar::text::Json;
using Clock = std::chrono::steady_clock;

std::string file_content(int index) {
  std::string text = "\"\"\"Module " + std::to_string(index) + " of the sample project.\"\"\"\n";
  text += "import os\nfrom .shared import helper_" + std::to_string(index % 97) + "\n\n";
  while (text.size() < 2400) {
    text += "def handle_request_" + std::to_string(text.size()) +
            "(request):\n    \"\"\"Résumé of the step.\"\"\"\n    return helper(request)\n\n";
  }
  return text;
}

Json file_node(int index) {
  const std::string id =
      "src/module_" + std::to_string(index / 100) + "/file_" + std::to_string(index) + ".py";
  Json node = Json::object();
  node["id"] = id;
  node["kind"] = "file";
  node["path"] = id;
  node["ext"] = ".py";
  const std::string content = file_content(index);
  node["size"] = content.size();
  node["keywords"] = Json::array();
  for (int k = 0; k < 30; ++k) node["keywords"].push_back("keyword_" + std::to_string(k));
  node["content"] = content;
  node["summary"] = "Module " + std::to_string(index) + " of the sample project.";
  node["file_hash"] = "0123abcd";
  return node;
}

Json symbol_node(const std::string& file_id, int symbol) {
  Json node = Json::object();
  const std::string name = "handle_request_" + std::to_string(symbol);
  node["id"] = file_id + "::" + name;
  node["kind"] = "symbol";
  node["path"] = file_id;
  node["ext"] = ".py";
  node["symbol_type"] = "use_case";
  node["name"] = name;
  node["line_start"] = symbol * 5;
  node["line_end"] = symbol * 5 + 4;
  node["body_hash"] = "89abcdef";
  node["confidence"] = "medium";
  node["exported"] = true;
  node["keywords"] = Json::array({"handle", "request"});
  return node;
}

Json make_graph(int file_count) {
  Json nodes = Json::array();
  Json edges = Json::array();
  for (int i = 0; i < file_count; ++i) {
    Json file = file_node(i);
    const std::string id = file["id"];
    nodes.push_back(std::move(file));
    for (int s = 0; s < 4; ++s) {
      nodes.push_back(symbol_node(id, s));
      edges.push_back({{"from", id},
                       {"to", id + "::handle_request_" + std::to_string(s)},
                       {"rel", "contains"}});
    }
    edges.push_back({{"from", id}, {"to", "os"}, {"rel", "imports"}});
  }
  Json graph = Json::object();
  graph["root"] = "/project";
  graph["node_count"] = nodes.size();
  graph["edge_count"] = edges.size();
  graph["nodes"] = std::move(nodes);
  graph["edges"] = std::move(edges);
  return graph;
}

template <typename F>
double best_seconds(int runs, F&& work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int file_count = argc > 1 ? std::atoi(argv[1]) : 10000;
  const std::string text = plinthar::text::to_pretty(make_graph(file_count));
  const double megabytes = static_cast<double>(text.size()) / (1024.0 * 1024.0);
  if (argc > 2) std::ofstream(argv[2], std::ios::binary) << text;
  std::printf("graph: %d files, %.1f MB pretty JSON\n", file_count, megabytes);

  std::size_t sink = 0;
  const double parse = best_seconds(5, [&] { sink += Json::parse(text).size(); });
  const double utf8 = best_seconds(5, [&] { sink += plinthar::text::is_valid_utf8(text); });
  const Json graph = Json::parse(text);
  const double write = best_seconds(3, [&] { sink += plinthar::text::to_pretty(graph).size(); });

  std::printf("parse (nlohmann ordered_json): %.3f s, %.0f MB/s\n", parse, megabytes / parse);
  std::printf("separate UTF-8 check:          %.3f s, %.0f MB/s\n", utf8, megabytes / utf8);
  std::printf("write pretty form:             %.3f s, %.0f MB/s\n", write, megabytes / write);
  return sink == 0 ? 1 : 0;
}

#include "plinthar/scanner/symbol_index.hpp"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::scanner {

namespace {

text::Json symbol(const std::string& id, std::int64_t line, const std::string& path) {
  text::Json node = text::Json::object();
  node["id"] = id;
  node["kind"] = "symbol";
  node["path"] = path;
  node["line_start"] = line;
  node["line_end"] = line + 2;
  std::string body_hash = "h";
  body_hash += std::to_string(line);
  node["body_hash"] = body_hash;
  node["confidence"] = "high";
  return node;
}

text::Json graph_of(text::Json nodes) {
  text::Json graph = text::Json::object();
  graph["nodes"] = std::move(nodes);
  return graph;
}

TEST(WriteSymbolIndex, EmptyGraphGivesAnEmptyObject) {
  std::string out;
  EXPECT_EQ(write_symbol_index(graph_of(text::Json::array()), out), 0u);
  EXPECT_EQ(out, "{}");
}

TEST(WriteSymbolIndex, RepeatedIdKeepsFirstPlaceAndLastValues) {
  text::Json nodes = text::Json::array();
  nodes.push_back({{"id", "a.py"}, {"kind", "file"}});
  nodes.push_back(symbol("a.py::f", 1, "a.py"));
  nodes.push_back(symbol("a.py::g", 5, "a.py"));
  text::Json last = symbol("a.py::f", 9, "d\u00e9j\u00e0.py");
  last.erase("confidence");
  nodes.push_back(last);
  std::string out;
  EXPECT_EQ(write_symbol_index(graph_of(nodes), out), 2u);
  EXPECT_EQ(out,
            "{\"a.py::f\": {\"line_start\": 9, \"line_end\": 11, \"body_hash\": \"h9\", "
            "\"confidence\": \"\", \"path\": \"d\\u00e9j\\u00e0.py\"}, "
            "\"a.py::g\": {\"line_start\": 5, \"line_end\": 7, \"body_hash\": \"h5\", "
            "\"confidence\": \"high\", \"path\": \"a.py\"}}");
}

// The index as a JSON object built member by member, printed in the compact form.
std::string reference_index(const text::Json& graph) {
  text::Json index = text::Json::object();
  for (const text::Json& node : graph["nodes"]) {
    if (node["kind"] != "symbol") continue;
    text::Json entry = text::Json::object();
    entry["line_start"] = node["line_start"];
    entry["line_end"] = node["line_end"];
    entry["body_hash"] = node["body_hash"];
    entry["confidence"] = node.value("confidence", text::Json(""));
    entry["path"] = node["path"];
    index[node["id"].get<std::string>()] = std::move(entry);
  }
  return text::to_compact(index);
}

TEST(WriteSymbolIndex, MatchesTheIndexBuiltAsAnObject) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> id(0, 6);
  std::uniform_int_distribution<int> count(0, 12);
  std::uniform_int_distribution<int> coin(0, 3);
  for (int round = 0; round < 2000; ++round) {
    text::Json nodes = text::Json::array();
    for (int n = count(rng); n > 0; --n) {
      const std::string name(1, static_cast<char>('m' + id(rng)));
      if (coin(rng) == 0) {
        nodes.push_back({{"id", name}, {"kind", "file"}});
        continue;
      }
      text::Json node = symbol("m.py::" + name, n, coin(rng) == 0 ? "\u00fc/m.py" : "m.py");
      if (coin(rng) == 0) node.erase("confidence");
      nodes.push_back(std::move(node));
    }
    const text::Json graph = graph_of(nodes);
    std::string out;
    const std::size_t size = write_symbol_index(graph, out);
    ASSERT_EQ(out, reference_index(graph)) << graph.dump();
    EXPECT_EQ(size, text::Json::parse(out).size());
  }
}

}  // namespace
}  // namespace plinthar::scanner

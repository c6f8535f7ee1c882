// Times the phases of `crv prime` and `crv retrieve` on a graph file, in process, so that
// start-up and output are left out: reading the file, simdjson's first pass alone, the
// record reader (which includes that pass), and ranking. Prints the best of several runs
// of each phase in milliseconds.
//
// Usage: ranking_bench GRAPH_FILE [QUERY [RUNS]]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <simdjson.h>

#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/query/graph/graph_file_text.hpp"
#include "plinthar/query/graph/graph_walker.hpp"
#include "plinthar/query/rank/retrieval.hpp"

namespace {

using Clock = std::chrono::steady_clock;
namespace pq = plinthar::query;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char* phase, std::vector<double>& samples) {
  std::sort(samples.begin(), samples.end());
  std::printf("%-34s best %8.1f ms   median %8.1f ms\n", phase, samples.front(),
              samples[samples.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: ranking_bench GRAPH_FILE [QUERY [RUNS]]\n");
    return 2;
  }
  const std::string query = argc > 2 ? argv[2] : "fix the invoice button on the admin portal";
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  std::vector<double> reading, first_pass, records, preparing, indexing, ranking;
  std::size_t node_count = 0;
  std::size_t edge_count = 0;
  for (int run = 0; run < runs; ++run) {
    auto start = Clock::now();
    const auto text = pq::GraphFileText::read(argv[1]);
    if (!text) {
      std::fprintf(stderr, "cannot read %s\n", argv[1]);
      return 1;
    }
    reading.push_back(milliseconds_since(start));

    start = Clock::now();
    simdjson::ondemand::parser parser;
    simdjson::ondemand::document document;
    if (parser.iterate(text->view()).get(document) != simdjson::SUCCESS) return 1;
    first_pass.push_back(milliseconds_since(start));

    start = Clock::now();
    auto graph = pq::read_graph_records(text->view());
    records.push_back(milliseconds_since(start));
    if (!graph) {
      std::fprintf(stderr, "the record reader declined the graph\n");
      return 1;
    }
    start = Clock::now();
    plinthar::index::prepare_records(*graph);
    preparing.push_back(milliseconds_since(start));
    start = Clock::now();
    const std::string index = plinthar::index::index_bytes(*graph, {});
    indexing.push_back(milliseconds_since(start));
    node_count = graph->nodes.size();
    edge_count = graph->edges.size();

    // Ranking is repeated on the same records: it is the part that varies with the query.
    for (int repeat = 0; repeat < 4; ++repeat) {
      start = Clock::now();
      const auto result = pq::retrieve(*graph, query, 12, 20, "no-capability-index");
      ranking.push_back(milliseconds_since(start));
      if (result.files.empty()) return 1;
    }
  }
  std::printf("%zu nodes, %zu edges, query \"%s\"\n", node_count, edge_count, query.c_str());
  report("read the graph file", reading);
  report("simdjson first pass alone", first_pass);
  report("read records (first pass included)", records);
  report("prepare records (lowering, degrees)", preparing);
  report("index bytes", indexing);
  report("rank (retrieve on records)", ranking);
  return 0;
}

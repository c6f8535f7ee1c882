// Times the phases of `crv prime --rank hybrid` on a graph file with a current index, in
// process, so that start-up and output are left out: opening the index (reading and
// checking it), building the records from it, viewing the term statistics, and ranking.
// Prints the best and the median of several runs of each phase in milliseconds.
//
// Usage: hybrid_bench GRAPH_FILE [QUERY [RUNS]]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/query/commands/graph_source.hpp"
#include "plinthar/query/rank/hybrid/hybrid.hpp"
#include "plinthar/text/file_io.hpp"

namespace {

using Clock = std::chrono::steady_clock;
namespace pq = plinthar::query;
namespace pi = plinthar::index;

double milliseconds_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char* phase, std::vector<double>& samples) {
  std::sort(samples.begin(), samples.end());
  std::printf("%-34s best %8.2f ms   median %8.2f ms\n", phase, samples.front(),
              samples[samples.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: hybrid_bench GRAPH_FILE [QUERY [RUNS]]\n");
    return 2;
  }
  const std::string graph_file = argv[1];
  const std::string query = argc > 2 ? argv[2] : "fix the invoice button on the admin portal";
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  // Brings the index up to date, statistics included.
  pq::graph_for_ranking({graph_file, ".", false}, false, true);
  std::vector<double> opening, records, statistics, ranking, whole;
  for (int run = 0; run < runs; ++run) {
    const auto first = Clock::now();
    const plinthar::text::FileDescriptor fd(::open(graph_file.c_str(), O_RDONLY | O_CLOEXEC));
    auto start = Clock::now();
    const auto index = pi::GraphIndex::open(pi::graph_index_path(graph_file), fd.get());
    opening.push_back(milliseconds_since(start));
    if (!index) {
      std::fprintf(stderr, "no current index beside %s\n", graph_file.c_str());
      return 1;
    }
    start = Clock::now();
    auto graph = index->records();
    records.push_back(milliseconds_since(start));
    if (!graph) return 1;
    start = Clock::now();
    const auto bytes = index->section(pi::SectionKind::term_stats);
    const auto stats = bytes ? pi::TermStats::open(*bytes) : std::nullopt;
    statistics.push_back(milliseconds_since(start));
    if (!stats) return 1;
    // Rows are parsed from the graph file; the general loader sets that up.
    const auto loaded = pq::graph_for_ranking({graph_file, ".", false}, false, false);
    start = Clock::now();
    const auto result =
        pq::retrieve_hybrid(loaded.records(), *stats, query, 12, 20, "no-capability-index");
    ranking.push_back(milliseconds_since(start));
    whole.push_back(milliseconds_since(first));
    if (result.files.empty()) return 1;
  }
  std::printf("query \"%s\"\n", query.c_str());
  report("open the index (read, checksum)", opening);
  report("records from the index", records);
  report("term statistics (view, checks)", statistics);
  report("rank, rows and edges", ranking);
  return 0;
}

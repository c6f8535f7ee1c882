// The sections of the graph index that are read where they lie: the term statistics and
// the snapshot of the scanned tree. The first byte chooses the section, the rest is its
// bytes. A reader must refuse what it cannot vouch for rather than read past it: every
// file a posting or an edge names is one of the statistics' files, every stem a file
// names is one of its stems, and a snapshot that reads back is written again as the same
// bytes.

#include <string>
#include <vector>

#include "fuzz_target.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/scanner/tree_snapshot.hpp"
#include "plinthar/scanner/stats/term_stats_builder.hpp"

namespace {

using namespace plinthar::scanner;
using plinthar::index::NO_FILE;
using plinthar::index::Posting;
using plinthar::index::TermStats;

void check_term_stats(std::string_view bytes) {
  const auto stats = TermStats::open(bytes);
  if (!stats) return;
  const std::size_t files = stats->file_count();
  for (std::size_t file = 0; file < files; ++file) {
    FUZZ_CHECK(stats->canonical(file) < files);
    FUZZ_CHECK(stats->stem(file) < stats->stem_count());
    FUZZ_CHECK(stats->stem_text(stats->stem(file)).size() <= bytes.size());
  }
  for (std::size_t edge = 0; edge < stats->edge_count(); ++edge) {
    FUZZ_CHECK(stats->edge_from(edge) < files || stats->edge_from(edge) == NO_FILE);
    FUZZ_CHECK(stats->edge_target(edge) < files || stats->edge_target(edge) == NO_FILE);
  }
  std::vector<std::string> terms;
  stats->for_each_term([&](std::string_view term, const Posting& posting) {
    FUZZ_CHECK(posting.file < files);
    if (terms.empty() || terms.back() != term) terms.emplace_back(term);
  });
  for (const std::string& term : terms) {
    std::uint32_t seen = 0;
    stats->for_each_posting(term, [&](const Posting& posting) {
      FUZZ_CHECK(posting.file < files);
      ++seen;
    });
    FUZZ_CHECK(seen <= stats->document_frequency(term));
  }
  if (const auto counted = counted_files(*stats)) FUZZ_CHECK(counted->size() == files);
}

void check_snapshot(std::string_view bytes) {
  const auto snapshot = read_snapshot(bytes);
  if (!snapshot) return;
  const std::string written = snapshot_section(*snapshot);
  const auto again = read_snapshot(written);
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(snapshot_section(*again) == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes = plinthar::fuzz::as_text(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    check_term_stats(bytes);
  } else {
    check_snapshot(bytes);
  }
  return 0;
}

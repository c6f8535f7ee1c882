// `--rank hybrid` through the built crv: the statistics come from the index that a scan
// writes, or are built once from the graph file when the index lacks them; either way the
// answer is the same, and the default ranking's answer does not change.

#include <filesystem>
#include <optional>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "crv_fixture.hpp"
#include "plinthar/index/graph_index.hpp"
#include "plinthar/index/term_stats.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"
#include "test_util.hpp"

namespace plinthar::query {
namespace {
namespace fs = std::filesystem;

class CrvHybrid : public testing::CrvFixture {
 protected:
  CrvHybrid() {
    dir_.write(
        "proj/api/orders.py",
        "from .db import session\n\ndef create_order(cart):\n    return session.add(cart)\n");
    dir_.write("proj/api/db.py", "session = None\n");
    dir_.write("proj/tests/test_orders.py", "from api.orders import create_order\n");
    dir_.write("proj/web/src/Cart.tsx", "export function Cart() { return null }\n");
    dir_.write("proj/package.json", "{\n  \"name\": \"shop\",\n  \"version\": \"1.0.0\"\n}\n");
  }

  // The term statistics of the index beside the graph, when it is current and holds them.
  std::optional<std::string> index_term_stats() const {
    const text::FileDescriptor graph(::open((data_ / "info_graph.json").c_str(), O_RDONLY));
    const auto index = index::GraphIndex::open(data_ / "info_graph.index", graph.get());
    if (!index) return std::nullopt;
    const auto section = index->section(index::SectionKind::term_stats);
    if (!section || !index::TermStats::open(*section)) return std::nullopt;
    return std::string(*section);
  }
  bool index_has_term_stats() const { return index_term_stats().has_value(); }
};

constexpr const char* QUERY = "--query 'fix(orders): create order with an empty cart'";

TEST_F(CrvHybrid, StatisticsAreBuiltOnceKeptByRefreshesAndChangeNoAnswer) {
  ASSERT_EQ(crv("scan").status, 0);
  EXPECT_FALSE(index_has_term_stats());  // left to the first hybrid ranking
  const std::string hybrid = std::string("retrieve --json --rank hybrid ") + QUERY;
  const auto first = crv(hybrid);
  ASSERT_EQ(first.status, 0) << first.err;
  const text::Json payload = text::Json::parse(first.out);
  ASSERT_FALSE(payload["files"].empty());
  EXPECT_EQ(payload["files"][0]["id"], "api/orders.py");
  EXPECT_FALSE(payload["files"][0].contains("content"));
  EXPECT_EQ(payload["files"][0]["_intent"], "feature");
  const auto built = index_term_stats();
  ASSERT_TRUE(built.has_value());
  const auto written = fs::last_write_time(data_ / "info_graph.index");
  EXPECT_EQ(crv(hybrid).out, first.out);
  EXPECT_EQ(fs::last_write_time(data_ / "info_graph.index"), written);

  // An index rebuilt by a classic call has none; the next hybrid call builds the same.
  fs::remove(data_ / "info_graph.index");
  ASSERT_EQ(crv(std::string("retrieve --json ") + QUERY).status, 0);
  EXPECT_FALSE(index_has_term_stats());
  EXPECT_EQ(crv(hybrid).out, first.out);
  EXPECT_EQ(index_term_stats(), built);

  // A refresh keeps them: those it writes are those built from the new graph.
  dir_.write("proj/api/refunds.py",
             "from .orders import create_order\n\ndef refund(order):\n    pass\n");
  const auto refreshed = crv(hybrid + " --refresh");
  ASSERT_EQ(refreshed.status, 0) << refreshed.err;
  const auto kept = index_term_stats();
  ASSERT_TRUE(kept.has_value());
  fs::remove(data_ / "info_graph.index");
  EXPECT_EQ(crv(hybrid).out, refreshed.out);
  EXPECT_EQ(index_term_stats(), kept);
}

TEST_F(CrvHybrid, RankChoosesTheRankingOfRetrieveAndPrimeAndDefaultsToClassic) {
  ASSERT_EQ(crv("scan").status, 0);
  EXPECT_EQ(crv(std::string("retrieve ") + QUERY).out,
            crv(std::string("retrieve --rank classic ") + QUERY).out);
  EXPECT_EQ(crv(std::string("prime ") + QUERY).out,
            crv(std::string("prime --rank classic ") + QUERY).out);
  const auto prime = crv(std::string("prime --rank hybrid --top-files 2 ") + QUERY);
  ASSERT_EQ(prime.status, 0) << prime.err;
  EXPECT_NE(prime.out.find("## Relevant Files (Top 2)\n- api/orders.py\n"), std::string::npos)
      << prime.out;
  const auto bad = crv(std::string("retrieve --rank best ") + QUERY);
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("invalid choice: 'best'"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace plinthar::query

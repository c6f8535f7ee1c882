#include "plinthar/index/graph_index_writer.hpp"

#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "index/scanned_index.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "records_dump.hpp"
#include "test_util.hpp"

namespace plinthar::index {
namespace {

class GraphIndexWriter : public ScannedIndex {};

// Replacing a section keeps the others, the records and the graph the index was made
// from; a kind the index lacks is added.
TEST_F(GraphIndexWriter, ReplacedSectionsLeaveTheRestAsItWas) {
  const auto before = open_index();
  ASSERT_TRUE(before && before->section(SectionKind::snapshot));
  const std::string graph = testing::read_text(graph_);
  const std::string records = testing::prepared_dump(*before->records(), graph);
  const std::string snapshot(*before->section(SectionKind::snapshot));
  ASSERT_FALSE(before->section(SectionKind::term_stats));
  ASSERT_TRUE(replace_sections(index_, *before, {{SectionKind::term_stats, "statistics"}}));
  const auto added = open_index();
  ASSERT_TRUE(added);
  EXPECT_EQ(*added->section(SectionKind::term_stats), "statistics");
  EXPECT_EQ(*added->section(SectionKind::snapshot), snapshot);
  EXPECT_EQ(testing::prepared_dump(*added->records(), graph), records);
  ASSERT_TRUE(replace_sections(index_, *added, {{SectionKind::snapshot, "tree"}}));
  const auto replaced = open_index();
  ASSERT_TRUE(replaced);
  EXPECT_EQ(*replaced->section(SectionKind::snapshot), "tree");
  EXPECT_EQ(*replaced->section(SectionKind::term_stats), "statistics");
  EXPECT_EQ(replaced->graph().file, before->graph().file);
}

}  // namespace
}  // namespace plinthar::index

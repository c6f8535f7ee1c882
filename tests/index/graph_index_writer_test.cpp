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

// The index written to a file section by section holds the bytes of the index laid out
// in memory, sections of odd lengths (padding after each) among them.
TEST_F(GraphIndexWriter, WritesTheBytesItLaysOut) {
  const auto index = open_index();
  ASSERT_TRUE(index);
  const auto records = index->records();
  ASSERT_TRUE(records);
  const ExtraSections extra = {{SectionKind::snapshot, "tree of seven"},
                               {SectionKind::term_stats, std::string(13, 's')}};
  ASSERT_TRUE(write_graph_index(index_, *records, index->graph(), extra));
  EXPECT_EQ(testing::read_text(index_), index_bytes(*records, index->graph(), extra));
  const auto reopened = open_index();
  ASSERT_TRUE(reopened);
  EXPECT_EQ(*reopened->section(SectionKind::snapshot), "tree of seven");
}

}  // namespace
}  // namespace plinthar::index

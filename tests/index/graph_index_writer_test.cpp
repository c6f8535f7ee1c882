#include "plinthar/index/graph_index_writer.hpp"

#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "plinthar/scanner/graph_writer.hpp"
#include "records_dump.hpp"
#include "test_util.hpp"

namespace plinthar::index {
namespace {

namespace fs = std::filesystem;

class GraphIndexWriter : public ::testing::Test {
 protected:
  GraphIndexWriter() {
    dir_.write("proj/app/main.py", "from .models import User\n\ndef run():\n    return User()\n");
    dir_.write("proj/app/models.py", "class User:\n    pass\n");
    scanner::write_graph_file(dir_ / "proj", graph_, {}, {});
  }

  std::optional<GraphIndex> open_index() const {
    const text::FileDescriptor fd(::open(graph_.c_str(), O_RDONLY));
    return GraphIndex::open(index_, fd.get());
  }

  testing::TempDir dir_;
  fs::path graph_ = dir_ / "info_graph.json";
  fs::path index_ = dir_ / "info_graph.index";
};

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

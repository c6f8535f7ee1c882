#include "plinthar/index/graph_index.hpp"

#include <cstring>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "index/scanned_index.hpp"
#include "plinthar/index/graph_index_writer.hpp"
#include "plinthar/index/index_format.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/text/content_hash.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/file_status.hpp"
#include "records_dump.hpp"
#include "test_util.hpp"

namespace plinthar::index {
namespace {

namespace fs = std::filesystem;

class GraphIndexTest : public ScannedIndex {};

// The rows go back to the system once read out; asking again reads them again.
TEST_F(GraphIndexTest, RecordsCanBeAskedForAgain) {
  for (int i = 0; i < 400; ++i) {
    dir_.write("proj/many/m" + std::to_string(i) + ".py",
               "def f" + std::to_string(i) + "():\n    pass\n");
  }
  scanner::write_graph_file(dir_ / "proj", graph_, {}, {});
  const std::string graph = testing::read_text(graph_);
  const auto index = open_index();
  ASSERT_TRUE(index.has_value());
  const auto first = index->records();
  const auto second = index->records();
  ASSERT_TRUE(first && second);
  EXPECT_GT(first->nodes.size(), 800U);
  EXPECT_EQ(testing::prepared_dump(*second, graph), testing::prepared_dump(*first, graph));
}

TEST_F(GraphIndexTest, DamagedOrForeignIndexesAreNotUsed) {
  const std::string whole = testing::read_text(index_);
  ASSERT_TRUE(open_index().has_value());
  for (std::size_t length = 0; length < whole.size(); ++length) {
    dir_.write("info_graph.index", whole.substr(0, length));
    ASSERT_FALSE(open_index().has_value()) << "truncated to " << length;
  }
  // A damaged section is found when it is read: the record sections on opening, the
  // others when asked for.
  const auto whole_and_sound = [this] {
    const auto index = open_index();
    return index && index->section(format::SectionKind::snapshot);
  };
  dir_.write("info_graph.index", whole);
  ASSERT_TRUE(whole_and_sound());
  for (std::size_t at = 0; at < whole.size(); at += 7) {
    std::string flipped = whole;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
    dir_.write("info_graph.index", flipped);
    ASSERT_FALSE(whole_and_sound()) << "byte " << at << " flipped";
  }
  // Another format version or byte order, with a checksum that matches.
  for (const std::size_t field :
       {offsetof(format::Header, version), offsetof(format::Header, byte_order)}) {
    std::string foreign = whole;
    std::reverse(foreign.begin() + static_cast<std::ptrdiff_t>(field),
                 foreign.begin() + static_cast<std::ptrdiff_t>(field + 4));
    foreign[field] = static_cast<char>(foreign[field] + 1);
    // The checksum at the end covers the header and the section table.
    format::Header header{};
    std::memcpy(&header, foreign.data(), sizeof header);
    const std::size_t table_end =
        (sizeof header + header.section_count * sizeof(format::Section) + 7) / 8 * 8;
    const std::uint64_t checksum =
        text::content_hash(std::string_view(foreign).substr(0, table_end));
    std::memcpy(foreign.data() + foreign.size() - 8, &checksum, 8);
    dir_.write("info_graph.index", foreign);
    EXPECT_FALSE(open_index().has_value()) << "field at " << field;
  }
}

// The graph written within the clock tick of its index keeps its status: then the
// recorded content hash decides, and a confirmed index is marked newer.
TEST_F(GraphIndexTest, IndexNoNewerThanTheGraphIsCheckedByContent) {
  const auto age = [](const fs::path& path, const fs::path& like) {
    struct stat status {};
    ASSERT_EQ(::stat(like.c_str(), &status), 0);
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  age(index_, graph_);
  EXPECT_TRUE(open_index().has_value());
  EXPECT_GT(text::file_status(index_)->mtime_ns, text::file_status(graph_)->mtime_ns);

  const text::FileDescriptor fd(::open(graph_.c_str(), O_RDONLY));
  auto identity = graph_identity(fd.get(), 12345);        // not the graph's hash
  const auto index = GraphIndex::open(index_, fd.get());  // the records view into it
  const auto records = index->records();
  ASSERT_TRUE(write_graph_index(index_, *records, *identity));
  age(index_, graph_);
  EXPECT_FALSE(open_index().has_value());
}

}  // namespace
}  // namespace plinthar::index

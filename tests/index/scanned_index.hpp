#pragma once

// A small project scanned into a graph file with its index, for the tests of the index.

#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <gtest/gtest.h>

#include "plinthar/index/graph_index.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "plinthar/text/file_io.hpp"
#include "test_util.hpp"

namespace plinthar::index {

class ScannedIndex : public ::testing::Test {
 protected:
  ScannedIndex() {
    dir_.write("proj/app/Main.py",
               "\"\"\"Entry – résumé.\"\"\"\nimport os\nfrom .models import User\n\n"
               "def Run():\n    return User()\n");
    dir_.write("proj/app/models.py", "class User:\n    pass\n");
    dir_.write("proj/web/Page.tsx",
               "import { Button } from './Button';\nexport function Page() {}\n");
    dir_.write("proj/README.md", "# Shop\n\nSee app/Main.py.\n");
    scanner::write_graph_file(dir_ / "proj", graph_, {}, {});
  }

  std::optional<GraphIndex> open_index() const {
    const text::FileDescriptor fd(::open(graph_.c_str(), O_RDONLY));
    return GraphIndex::open(index_, fd.get());
  }

  testing::TempDir dir_;
  std::filesystem::path graph_ = dir_ / "info_graph.json";
  std::filesystem::path index_ = dir_ / "info_graph.index";
};

}  // namespace plinthar::index

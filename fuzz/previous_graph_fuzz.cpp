// mapforge's rescan: the input is the previous graph file. Its file nodes are read for
// reuse, a small fixed tree is scanned with them, and the graph written must parse back
// to the same map; crv's record reader must then decline it or agree with the general
// parser.

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include <simdjson.h>
#include <stdlib.h>

#include "fuzz_target.hpp"
#include "records_dump.hpp"
#include "plinthar/error.hpp"
#include "plinthar/query/graph/graph_walker.hpp"
#include "plinthar/query/graph/map_records.hpp"
#include "plinthar/scanner/previous_graph.hpp"
#include "plinthar/scanner/scan.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace {

namespace fs = std::filesystem;
using namespace plinthar;

// The tree every input rescans; the seeds hold nodes with these files' ids and hashes.
class Tree {
 public:
  Tree() {
    std::string pattern = (fs::temp_directory_path() / "plinthar-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    write("a.py", "import os\n\ndef run():\n    return os.getcwd()\n");
    write("docs/b.md", "# Notes\nSee a.py and web/c.ts\n");
    write("web/c.ts", "export function useThing() {\n  return 1;\n}\n");
  }
  ~Tree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  const fs::path& root() const { return root_; }

 private:
  void write(const std::string& relative, const std::string& content) const {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << content;
  }

  fs::path root_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Tree tree;
  const scanner::ExistingNodes nodes = scanner::previous_file_nodes(fuzz::as_text(data, size));
  const text::Json graph = scanner::scan(tree.root(), nodes);
  const std::string written = text::to_pretty(graph);

  const text::Json back = text::parse_json(written);  // must not throw
  FUZZ_CHECK(back == graph);
  FUZZ_CHECK(text::to_pretty(back) == written);

  std::string general;
  try {
    general = plinthar::testing::records_dump(query::records_of(query::parse_graph(written, "g.json")));
  } catch (const Error& error) {
    general = std::string("error: ") + error.what();  // reused members of the wrong type
  }
  const simdjson::padded_string padded(written);
  if (const auto records = query::read_graph_records(padded)) {
    FUZZ_CHECK(plinthar::testing::records_dump(*records) == general);
  }
  return 0;
}

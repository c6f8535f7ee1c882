// The Python module form against the programs: `python3 -m plinthar.crv` and
// `python3 -m plinthar.mapforge` with the same arguments and data directory give the
// same bytes, files and exit statuses, and `scan` gives what json.load reads from the
// graph file.

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_util.hpp"

namespace plinthar::python {
namespace {
namespace fs = std::filesystem;

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// A copy of the package beside a copy of the executable crv, so that both use the same
// data/, and a copy of the example project to run in.
class PythonModule : public ::testing::Test {
 protected:
  PythonModule() {
    fs::create_directories(package_);
    const fs::path module_file = PLINTHAR_PYTHON_MODULE_FILE;
    fs::create_symlink(module_file, package_ / module_file.filename());
    for (const auto& entry : fs::directory_iterator(module_file.parent_path())) {
      if (entry.path().extension() == ".py") {
        fs::copy_file(entry.path(), package_ / entry.path().filename());
      }
    }
    fs::copy_file(PLINTHAR_CRV_BIN, package_ / "crv");
    fs::copy(fs::path(PLINTHAR_EXAMPLES_DIR) / "shop", project_, fs::copy_options::recursive);
  }

  // Runs the interpreter, stopped after a minute should a call hang.
  testing::RunResult python(const std::string& args) const {
    return testing::run_command(project_, "timeout 60 " PLINTHAR_PYTHON " " + args,
                                ENV + "PYTHONPATH=" + quoted(package_.parent_path()) + " ");
  }
  testing::RunResult native(const fs::path& program, const std::string& args) const {
    return testing::run_command(project_, quoted(program) + " " + args, ENV);
  }

  const std::string ENV = "CRV_CAPABILITY_INDEX=functionality_index.md CRV_QUERY='cancel it' ";

  testing::TempDir dir_;
  fs::path package_ = dir_ / "site/plinthar";
  fs::path project_ = dir_ / "shop";
};

void expect_same_run(const testing::RunResult& module, const testing::RunResult& program,
                     const std::string& args) {
  EXPECT_EQ(module.status, program.status) << args;
  EXPECT_EQ(module.out, program.out) << args;
  EXPECT_EQ(module.err, program.err) << args;
}

TEST_F(PythonModule, CrvGivesTheBytesFilesAndStatusesOfTheProgram) {
  const fs::path graph = package_ / "data/info_graph.json";
  // The module goes first, so that its first-use scan writes the graph the program reads.
  const std::vector<std::string> commands = {
      "prime --query 'fix the cancel button on the orders page'",
      "action log --kind edit --summary 'cancel button' --meta '{\"tool\": \"edit\"}'",
      "prime --query 'fix the cancel button on the orders page' --top-files 3",
      "retrieve --query 'cancel order status' --json",
      "prime",
      "retrieve --query orders --top-files many",
      "action",
      "action log --kind edit --meta '[1]'",
      "stats",
      "--help",
      "scan --out /dev/null/g.json",
      "scan"};
  for (const std::string& args : commands) {
    const auto module = python("-m plinthar.crv " + args);
    const std::string module_graph = testing::read_text(graph);
    const auto program = native(package_ / "crv", args);
    expect_same_run(module, program, args);
    EXPECT_EQ(module_graph, testing::read_text(graph)) << args;
  }
  EXPECT_FALSE(testing::read_text(graph).empty());
}

TEST_F(PythonModule, MapforgeGivesTheBytesFilesAndStatusesOfTheProgram) {
  for (const std::string args : {"--out out/g.json", "--root web --out out/g.json", "--help",
                                 "--root", "--out /dev/null/g"}) {
    fs::remove_all(project_ / "out");
    const auto module = python("-m plinthar.mapforge " + args);
    const std::string graph = testing::read_text(project_ / "out/g.json");
    const std::string index = testing::read_text(project_ / "out/symbol_index.json");
    fs::remove_all(project_ / "out");
    const auto program = native(PLINTHAR_MAPFORGE_BIN, args);
    expect_same_run(module, program, args);
    EXPECT_EQ(graph, testing::read_text(project_ / "out/g.json")) << args;
    EXPECT_EQ(index, testing::read_text(project_ / "out/symbol_index.json")) << args;
  }
}

TEST_F(PythonModule, ScanReturnsWhatJsonLoadReadsFromTheGraphFile) {
  // File names that are not UTF-8 reach the graph as escaped lone surrogates.
  dir_.write("shop/api/caf\xe9.py", "def latte():\n    return 1\n");
  dir_.write("shop/api/half\xf0\x9f.py", "import os\n");
  ASSERT_EQ(native(PLINTHAR_MAPFORGE_BIN, "--out " + quoted(dir_ / "g.json")).status, 0);
  dir_.write("check.py", R"(import json, sys
from plinthar.mapforge import scan
graph = scan(sys.argv[1])
with open(sys.argv[2], encoding="utf-8") as written:
    same = json.dumps(graph) == json.dumps(json.load(written))
print(same, graph == scan(sys.argv[1]), graph["file_count"] > 2)
)");
  const auto result = python(quoted(dir_ / "check.py") + " . " + quoted(dir_ / "g.json"));
  EXPECT_EQ(result.out, "True True True\n") << result.err;
}

TEST_F(PythonModule, CrvWritesToTheDescriptorWithTheInterpreterUnlocked) {
  // Standard output is a pipe too small for the answer, read by another Python thread:
  // only a call that lets go of the interpreter can finish.
  dir_.write("check.py", R"(import fcntl, os, select, sys, threading
from plinthar import crv
read_end, write_end = os.pipe()
fcntl.fcntl(write_end, fcntl.F_SETPIPE_SZ, 4096)
saved = os.dup(1)
os.dup2(write_end, 1)
os.close(write_end)
status = []
worker = threading.Thread(target=lambda: status.append(crv.main(sys.argv[1:])))
worker.start()
chunks = []
while worker.is_alive():
    if select.select([read_end], [], [], 0.05)[0]:
        chunks.append(os.read(read_end, 65536))
os.dup2(saved, 1)
while chunk := os.read(read_end, 65536):
    chunks.append(chunk)
os.write(1, b"".join(chunks))
sys.exit(status[0])
)");
  const std::string args = "retrieve --query 'orders page' --json --top-files 500 --top-edges 500";
  const auto module = python(quoted(dir_ / "check.py") + " " + args);
  const auto program = native(package_ / "crv", args);
  expect_same_run(module, program, args);
  EXPECT_GT(program.out.size(), 4096u);
}

}  // namespace
}  // namespace plinthar::python

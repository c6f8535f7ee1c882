// Runs the built mapforge program on temporary trees.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/version.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {

namespace {
namespace fs = std::filesystem;

const std::string MAPFORGE = testing::program_command(PLINTHAR_MAPFORGE_BIN);

// The short hash of the text "text\n".
constexpr std::string_view HASH_OF_TEXT = "e1cbb0c3";

TEST(MapforgeCli, WritesBothFilesAndReports) {
  testing::TempDir dir;
  dir.write("proj/a.py", "import os\n");
  dir.write("proj/docs/readme.md", "# Title\n");
  const auto result =
      testing::run_command(dir.path(), MAPFORGE + " --root proj --out out//./g.json");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const text::Json graph = text::Json::parse(testing::read_text(dir / "out/g.json"));
  EXPECT_EQ(graph["root"], fs::canonical(dir / "proj").string());
  EXPECT_EQ(graph["file_count"], 2);
  const std::string index = testing::read_text(dir / "out/symbol_index.json");
  EXPECT_EQ(result.out, "Scanned: " + graph["file_count"].dump() + " files, " +
                            graph["symbol_count"].dump() + " symbols, " +
                            graph["edge_count"].dump() + " edges\nWrote: out/g.json\n" +
                            "Symbol index: out/symbol_index.json (" +
                            std::to_string(text::Json::parse(index).size()) + " symbols)\n");
  EXPECT_EQ(testing::read_text(dir / "out/g.json"), text::to_pretty(graph));
  EXPECT_EQ(index, text::to_compact(text::Json::parse(index)));
}

// The report names the outputs on lines of valid UTF-8: a byte of the folder name that is
// not UTF-8 is printed as its \udcXX escape, not as it stands.
TEST(MapforgeCli, ReportEscapesBytesOfTheOutputPathThatAreNotUtf8) {
  testing::TempDir dir;
  dir.write("proj/a.py", "import os\n");
  const auto result =
      testing::run_command(dir.path(), MAPFORGE + " --root proj --out 'out\xff'/g.json");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(fs::exists(dir / "out\xff/g.json"));
  EXPECT_NE(result.out.find("\nWrote: out\\udcff/g.json\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("\nSymbol index: out\\udcff/symbol_index.json ("), std::string::npos);
}

// A root that is not a directory would scan as an empty tree; its graph would replace
// the good one at --out. It is an error, and both outputs stay as they were.
TEST(MapforgeCli, RootThatIsNotADirectoryIsAnErrorAndLeavesTheOutputs) {
  testing::TempDir dir;
  dir.write("proj/a.py", "import os\n");
  dir.write("plain.txt", "text\n");
  ASSERT_EQ(testing::run_command(dir.path(), MAPFORGE + " --root proj --out out/g.json").status, 0);
  const std::string graph = testing::read_text(dir / "out/g.json");
  const std::string index = testing::read_text(dir / "out/symbol_index.json");
  const fs::path base = fs::canonical(dir.path());
  const struct {
    std::string root;
    std::string message;
  } cases[] = {
      {"nowhere", (base / "nowhere").string() + " is not a directory: No such file or directory"},
      {"plain.txt", (base / "plain.txt").string() + " is not a directory"},
  };
  for (const auto& bad : cases) {
    for (const std::string out : {"out/g.json", "new/g.json"}) {
      const auto result =
          testing::run_command(dir.path(), MAPFORGE + " --root " + bad.root + " --out " + out);
      EXPECT_EQ(result.status, 1) << bad.root;
      EXPECT_EQ(result.out, "") << bad.root;
      EXPECT_EQ(result.err, "mapforge: error: " + bad.message + "\n");
    }
    EXPECT_EQ(testing::read_text(dir / "out/g.json"), graph) << bad.root;
    EXPECT_EQ(testing::read_text(dir / "out/symbol_index.json"), index) << bad.root;
    EXPECT_FALSE(fs::exists(dir / "new")) << bad.root;
  }
}

TEST(MapforgeCli, DefaultOutputInsideTheRootIsNotScannedAgain) {
  testing::TempDir dir;
  dir.write("a.md", "see docs/setup.md\n");
  dir.write("b.py", "import json\n");
  ASSERT_EQ(testing::run_command(dir.path(), MAPFORGE).status, 0);
  const std::string first = testing::read_text(dir / "corvel-dashboard/data/info_graph.json");
  const auto second_run = testing::run_command(dir.path(), MAPFORGE);
  ASSERT_EQ(second_run.status, 0);
  EXPECT_EQ(testing::read_text(dir / "corvel-dashboard/data/info_graph.json"), first);
  EXPECT_EQ(text::Json::parse(first)["file_count"], 2);
}

TEST(MapforgeCli, MalformedPreviousGraphMeansAFullScan) {
  testing::TempDir dir;
  dir.write("proj/a.md", "text\n");
  // A file node of the right hash whose content is nested too deeply to be written back.
  const std::string deep = std::string(300000, '[') + std::string(300000, ']');
  const std::string nested = R"({"nodes": [{"id": "a.md", "kind": "file", "file_hash": ")" +
                             std::string(HASH_OF_TEXT) + R"(", "content": )" + deep + "}]}";
  for (const std::string& previous :
       {std::string("not json"), std::string("[1, 2]"),
        std::string("{\"nodes\": [{\"kind\": \"file\"}]}"),
        std::string("{\"nodes\": [{\"id\": \"a.md\", \"kind\": \"symbol\"}]}"), nested}) {
    dir.write("g.json", previous);
    const auto result = testing::run_command(dir.path(), MAPFORGE + " --root proj --out g.json");
    EXPECT_EQ(result.status, 0) << previous.substr(0, 80);
    EXPECT_EQ(result.err, "") << previous.substr(0, 80);
    EXPECT_EQ(text::Json::parse(testing::read_text(dir / "g.json"))["nodes"][0]["content"],
              "text\n");
  }
}

// A FIFO or a device at the output path is not read as the previous graph (it would
// block or never end); the scan is a full one and the graph replaces it.
TEST(MapforgeCli, OutputThatIsNotARegularFileIsReplaced) {
  testing::TempDir dir;
  dir.write("proj/a.md", "text\n");
  ASSERT_EQ(::mkfifo((dir / "fifo.json").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.json");
  for (const char* out : {"fifo.json", "zero.json"}) {
    const auto result = testing::run_command(
        dir.path(), "timeout 20 " + MAPFORGE + " --root proj --out " + std::string(out));
    EXPECT_EQ(result.status, 0) << out << ": " << result.err;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / out))) << out;
    EXPECT_EQ(text::Json::parse(testing::read_text(dir / out))["file_count"], 1) << out;
  }
}

TEST(MapforgeCli, RescanReusesStoredFileNodesWhateverSurroundsThem) {
  testing::TempDir dir;
  dir.write("proj/a.py", "import os\n\ndef run():\n    pass\n");
  ASSERT_EQ(testing::run_command(dir.path(), MAPFORGE + " --root proj --out g.json").status, 0);
  text::Json graph = text::Json::parse(testing::read_text(dir / "g.json"));
  text::Json& file_node = graph["nodes"][0];
  ASSERT_EQ(file_node["kind"], "file");
  file_node["summary"] = "stored summary";
  file_node["keywords"] = text::Json::array({"stored"});
  file_node["content"] = "stored content";
  file_node["extra"] = "not reused";
  // Symbol nodes, a second "kind" member and unrelated members must not disturb reuse.
  graph["nodes"].push_back({{"id", "a.py"}, {"kind", "symbol"}, {"summary", "symbol summary"}});
  graph["nodes"].push_back({{"id", "b.py"}, {"kind", "file"}, {"kind", "symbol"}});
  graph["nodes"].push_back("not a node");
  graph["other"] = {{"nodes", text::Json::array({{{"id", "a.py"}, {"kind", "file"}}})}};
  dir.write("g.json", text::to_pretty(graph));

  ASSERT_EQ(testing::run_command(dir.path(), MAPFORGE + " --root proj --out g.json").status, 0);
  const text::Json rescanned = text::Json::parse(testing::read_text(dir / "g.json"));
  const text::Json& reused = rescanned["nodes"][0];
  EXPECT_EQ(reused["summary"], "stored summary");
  EXPECT_EQ(reused["keywords"], text::Json::array({"stored"}));
  EXPECT_EQ(reused["content"], "stored content");
  EXPECT_FALSE(reused.contains("extra"));
  EXPECT_EQ(rescanned["node_count"], graph["node_count"]);
}

TEST(MapforgeCli, UsageErrorsAndHelp) {
  testing::TempDir dir;
  for (const char* args : {"--bogus", "extra", "--root", "--out"}) {
    const auto result = testing::run_command(dir.path(), MAPFORGE + " " + args);
    EXPECT_EQ(result.status, 2) << args;
    EXPECT_EQ(result.out, "") << args;
    EXPECT_NE(result.err.find("usage:"), std::string::npos) << args;
  }
  const auto help = testing::run_command(dir.path(), MAPFORGE + " --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Scan project and build information graph JSON."), std::string::npos);
  EXPECT_NE(help.out.find("Output JSON path."), std::string::npos);
  const auto version = testing::run_command(dir.path(), MAPFORGE + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "mapforge " + std::string(VERSION) + "\n");
  EXPECT_FALSE(fs::exists(dir / "corvel-dashboard"));
}

TEST(MapforgeCli, UnwritableOutputFailsWithoutTouchingTheOldGraph) {
  testing::TempDir dir;
  dir.write("proj/a.md", "x");
  dir.write("blocker", "a file where a directory is needed");
  const auto result =
      testing::run_command(dir.path(), MAPFORGE + " --root proj --out blocker/g.json");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("mapforge: error:"), std::string::npos);
  EXPECT_EQ(result.out, "");
}

}  // namespace
}  // namespace plinthar::scanner

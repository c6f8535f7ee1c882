// Scans the example project with the built mapforge and compares both output files
// byte for byte with the checked-in expectations. The scan root differs per checkout, so
// it is replaced by "<root>" before comparing. Run with PLINTHAR_UPDATE_GOLDEN=1 to
// rewrite the expectations after an intended change, then review the diff.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "plinthar/text/json_writer.hpp"
#include "test_util.hpp"

namespace plinthar::scanner {

namespace {
namespace fs = std::filesystem;

const fs::path FIXTURES = PLINTHAR_FIXTURES_DIR;
const fs::path EXAMPLE = FIXTURES / ".." / ".." / "examples" / "shop";

std::string replace_root(std::string text, const std::string& root) {
  std::string quoted;
  text::write_json_string(root, quoted);
  const std::string member = "\"root\": " + quoted;
  const auto at = text.find(member);
  if (at != std::string::npos) text.replace(at, member.size(), "\"root\": \"<root>\"");
  return text;
}

void expect_golden(const fs::path& expected_file, const std::string& actual) {
  if (std::getenv("PLINTHAR_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(expected_file, std::ios::binary) << actual;
    return;
  }
  const std::string expected = testing::read_text(expected_file);
  EXPECT_EQ(actual, expected) << "differs from " << expected_file.filename();
}

TEST(GoldenScan, ExampleProjectGraphAndSymbolIndex) {
  testing::TempDir dir;
  const fs::path root = fs::canonical(EXAMPLE);
  const auto result =
      testing::run_command(dir.path(), testing::program_command(PLINTHAR_MAPFORGE_BIN) +
                                           " --root '" + root.string() + "' --out out/g.json");
  ASSERT_EQ(result.status, 0) << result.err;
  expect_golden(FIXTURES / "shop_scan" / "info_graph.json",
                replace_root(testing::read_text(dir / "out/g.json"), root.string()));
  expect_golden(FIXTURES / "shop_scan" / "symbol_index.json",
                testing::read_text(dir / "out/symbol_index.json"));
  EXPECT_EQ(result.out.substr(0, result.out.find('\n')), "Scanned: 17 files, 17 symbols, 54 edges");
}

}  // namespace
}  // namespace plinthar::scanner

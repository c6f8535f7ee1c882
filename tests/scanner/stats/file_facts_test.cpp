#include "plinthar/scanner/stats/file_facts.hpp"

#include <gtest/gtest.h>

namespace plinthar::scanner {
namespace {

TEST(FileTraits, ReadsKindTestAndStemFromTheName) {
  const struct {
    const char* path;
    FileKind kind;
    bool test;
    const char* stem;
  } cases[] = {
      {"api/order_table.py", FileKind::source, false, "ordertabl"},
      {"web/src/OrderTable.tsx", FileKind::source, false, "ordertabl"},
      {"tests/test_order_tables.py", FileKind::source, true, "ordertabl"},
      {"src/__tests__/cart.spec.ts", FileKind::source, true, "cart"},
      {"pkg/server_test.go", FileKind::source, true, "server"},
      {"docs/README.MD", FileKind::doc, false, "readm"},
      {"config/app.Yml", FileKind::config, false, "app"},
      {"package.json", FileKind::config, false, "packag"},
      {"contest/latest.py", FileKind::source, false, "latest"},  // "test" inside words
      {".eslintrc", FileKind::source, false, ".eslintrc"},       // a leading dot is no extension
      {"Testsuite/x.py", FileKind::source, true, "x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(file_kind(c.path), c.kind) << c.path;
    EXPECT_EQ(is_test_file(c.path), c.test) << c.path;
    EXPECT_EQ(bare_stem(c.path), c.stem) << c.path;
  }
}

TEST(FileTraits, SplitsPathsAtTheExtensionAndTheLastFolder) {
  EXPECT_EQ(without_extension("a.b/c"), "a.b/c");
  EXPECT_EQ(without_extension("web/App.TSX"), "web/App");
  EXPECT_EQ(parent_directory("a/b/c.py"), "a/b");
  EXPECT_EQ(parent_directory("c.py"), "");
  EXPECT_TRUE(has_source_extension("x/Y.SWIFT"));
  EXPECT_FALSE(has_source_extension("x/y.md"));
}

TEST(FileTraits, FindsVersionDeclarationsAtTheStartOfALine) {
  EXPECT_TRUE(declares_version("{\n  \"version\": \"1.2.0\",\n}"));
  EXPECT_TRUE(declares_version("x = 1\n__version__ = '2.0'\n"));
  EXPECT_TRUE(declares_version("setup(\n    VERSION = \"3\"\n"));
  EXPECT_FALSE(declares_version("print('version = \"1\"')"));
  EXPECT_FALSE(declares_version("version = 3"));  // not a quoted value
}

}  // namespace
}  // namespace plinthar::scanner

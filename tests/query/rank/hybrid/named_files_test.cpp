#include "plinthar/query/rank/hybrid/named_files.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::query::hybrid {
namespace {

bool has(const std::vector<std::string>& keys, const std::string& key) {
  return std::binary_search(keys.begin(), keys.end(), key);
}

TEST(NamedPathKeys, ReadsPathsFileNamesModulesAndTracebackFrames) {
  const struct {
    const char* text;
    std::vector<std::string> named, not_named;
  } cases[] = {
      {"see src/locale/ar-ly.js.",
       {"src/locale/ar-ly.js", "locale/ar-ly.js", "locale/ar-ly"},
       {"ar-ly.js", "src/locale"}},
      {"the ar-ly locale", {"ar-ly"}, {"locale"}},
      // Prose words name no file unless they stand in a code span.
      {"the utc plugin and `timezone`", {"timezone"}, {"utc", "plugin"}},
      {"import astroid.brain.brain_numpy",
       {"astroid/brain/brain_numpy", "brain/brain_numpy"},
       {"astroid.brain.brain_numpy"}},
      {"File \"/a/b/c/d/e/f/g/sqlfluff/rules/L031.py\", line 12, in _eval",
       {"sqlfluff/rules/l031.py", "rules/l031", "c/d/e/f/g/sqlfluff/rules/l031"},
       {"b/c/d/e/f/g/sqlfluff/rules/l031.py"}},  // more components than a path names by
      {"require('dayjs/plugin/objectSupport')",
       {"plugin/objectsupport", "dayjs/plugin/objectsupport"},
       {"objectsupport"}},
      {"`a.b` or `utc`", {"a.b", "utc"}, {"b"}},
      {"unclosed `span\nfoo` bar", {}, {"span", "foo"}},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> keys = named_path_keys(c.text);
    for (const std::string& key : c.named) EXPECT_TRUE(has(keys, key)) << c.text << ": " << key;
    for (const std::string& key : c.not_named)
      EXPECT_FALSE(has(keys, key)) << c.text << ": " << key;
  }
}

TEST(NamedPathKeys, TakesLinearTimeOnALongPath) {
  std::string path;
  for (int i = 0; i < 20000; ++i) path += "d/";
  path += "file.py";
  const std::vector<std::string> keys = named_path_keys(path);
  EXPECT_TRUE(has(keys, "d/file.py"));
  EXPECT_LE(keys.size(), 14u);  // two keys for each of the last 7 suffixes
}

}  // namespace
}  // namespace plinthar::query::hybrid

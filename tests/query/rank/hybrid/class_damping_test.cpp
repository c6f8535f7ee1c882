#include "plinthar/query/rank/hybrid/class_damping.hpp"

#include <string>

#include <gtest/gtest.h>

#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/rank/hybrid/constants.hpp"

namespace plinthar::query::hybrid {
namespace {

TEST(ClassDamping, NamesTheClassesATaskMeansOnlyOnPurpose) {
  const struct {
    const char* id;
    FileClass want;
  } cases[] = {
      {".github/ISSUE_TEMPLATE/--bug-report.md", FileClass::TEMPLATE},
      {".github/workflows/ci.yml", FileClass::TEMPLATE},
      {"CHANGELOG.md", FileClass::CHANGELOG},
      {"docs/HISTORY.rst", FileClass::CHANGELOG},
      {"README.md", FileClass::DOCS},
      {"docs/zh-cn/README.zh-CN.md", FileClass::DOCS},
      {"docs/ja/Plugin.md", FileClass::DOCS},
      {"docs/pt_br/API-reference.md", FileClass::DOCS},
      {"docs/guide/Plugin.md", FileClass::OTHER},  // not a language folder
      {"docs/ja/plugin.js", FileClass::OTHER},
      {"CONTRIBUTING.md", FileClass::OTHER},
      {"src/locale/zh-cn.js", FileClass::OTHER},
      {"src/history.js", FileClass::OTHER},  // a module, not a log
  };
  for (const auto& c : cases) EXPECT_EQ(file_class(c.id), c.want) << c.id;
}

HybridQuery long_task() {
  HybridQuery query;
  for (std::size_t i = 0; i < LONG_TASK_TERMS; ++i) query.terms.push_back({std::to_string(i), 1.0});
  return query;
}

TEST(ClassDamping, DampsLongTasksOnlyAndSparesTheClassTheyAskFor) {
  const HybridQuery plain = long_task();
  HybridQuery about_docs = long_task();
  about_docs.wants_docs = true;
  HybridQuery about_tests = long_task();
  about_tests.wants_tests = true;
  HybridQuery about_version = long_task();
  about_version.wants_version = true;
  HybridQuery short_task = long_task();
  short_task.terms.pop_back();
  EXPECT_FALSE(is_damped("README.md", 0, short_task));
  EXPECT_TRUE(is_damped("README.md", 0, plain));
  EXPECT_FALSE(is_damped("README.md", 0, about_docs));
  EXPECT_TRUE(is_damped("test/a.test.js", index::FACT_TEST, plain));
  EXPECT_FALSE(is_damped("test/a.test.js", index::FACT_TEST, about_tests));
  EXPECT_FALSE(is_damped("CHANGELOG.md", 0, about_version));
  EXPECT_FALSE(is_damped("src/index.js", index::FACT_SOURCE, plain));
}

}  // namespace
}  // namespace plinthar::query::hybrid

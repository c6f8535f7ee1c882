#include "plinthar/scanner/stats/edge_targets.hpp"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::scanner {
namespace {

// A project with Python packages below src/ and at the top, a TypeScript app with path
// aliases, and a package that imports itself by name.
const std::vector<std::string_view> FILES = {
    "src/flask/__init__.py",        // 0
    "src/flask/app.py",             // 1
    "src/flask/json/__init__.py",   // 2
    "src/flask/typing.py",          // 3
    "api/payments/gateway.py",      // 4
    "api/models.py",                // 5
    "web/src/util.ts",              // 6
    "web/src/components/index.ts",  // 7
    "web/src/pages/Home.tsx",       // 8
    "src/middleware.ts",            // 9
    "docs/guide.md",                // 10
    "tests/util.ts",                // 11
    "api/__init__.py",              // 12
};

constexpr std::uint32_t NONE = 0xFFFFFFFF;

TEST(EdgeTargets, ResolvesWhatTheSourceWroteToTheFileItMeans) {
  const EdgeTargets targets(FILES);
  const struct {
    const char* from;
    const char* to;
    const char* rel;
    std::uint32_t file;
  } cases[] = {
      // Python modules: relative from the package, absolute from a folder that is no package.
      {"src/flask/app.py", ".json", "imports", 2},
      {"src/flask/app.py", ".", "imports", 0},
      {"api/payments/gateway.py", "..models", "imports", 5},
      {"src/flask/app.py", "flask.json", "imports", 2},
      {"src/flask/app.py", "typing", "imports", NONE},  // the standard library's
      {"api/models.py", "api.payments.gateway", "imports", 4},
      {"api/models.py", "os", "imports", NONE},
      // Relative specifiers, with another module extension.
      {"web/src/pages/Home.tsx", "../util.js", "imports", 6},
      {"web/src/pages/Home.tsx", "../components", "imports", 7},
      {"web/src/pages/Home.tsx", "./Missing", "imports", NONE},
      // Aliases and bare paths: the nearest file with that ending.
      {"web/src/pages/Home.tsx", "@/src/util", "imports", 6},
      {"web/src/pages/Home.tsx", "react", "imports", NONE},
      {"tests/util.ts", "util", "references", 11},  // its own folder first
      {"tests/util.ts", "src/util", "imports", 6},
      {"web/src/pages/Home.tsx", "components/index.ts", "requires", 7},
      {"docs/guide.md", "util.ts", "references", 6},  // no shared folder: graph order
      {"web/src/pages/Home.tsx", "util.ts", "references", 6},
      // A package naming itself in front of its own paths.
      {"src/flask/app.py", "zustand/middleware", "imports", 9},
      {"docs/guide.md", "zustand/middleware", "references", NONE},
      {"docs/guide.md", "", "references", NONE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(targets.resolve(c.from, c.to, c.rel).value_or(NONE), c.file)
        << c.from << " -> " << c.to << " (" << c.rel << ")";
  }
}

TEST(EdgeTargets, JoinsRelativePathsWithoutLeavingTheTop) {
  const struct {
    const char* base;
    const char* rel;
    const char* joined;
  } cases[] = {
      {"a/b", "../c", "a/c"}, {"a", "./b/./c", "a/b/c"}, {"", "../../x", "x"},
      {"a/b", "..", "a"},     {"a//b", "c/", "a/b/c"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(join_path(c.base, c.rel), c.joined) << c.base << " " << c.rel;
}

}  // namespace
}  // namespace plinthar::scanner

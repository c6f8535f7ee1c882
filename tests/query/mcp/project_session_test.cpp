#include "plinthar/query/mcp/project_session.hpp"

#include <chrono>

#include <gtest/gtest.h>

#include "plinthar/error.hpp"
#include "plinthar/query/commands/graph_source.hpp"
#include "plinthar/scanner/graph_writer.hpp"
#include "sample_project.hpp"

namespace plinthar::query::mcp {
namespace {

using namespace std::chrono_literals;

// A session whose clock the test moves.
class Session : public ::testing::Test {
 protected:
  ProjectSession session(SessionOptions options) {
    return ProjectSession(project_.locations(), options, [this] { return now_; });
  }

  static bool holds(ProjectSession& session, std::string_view id) {
    return session.project().lookups().file_of(id).has_value();
  }

  testing_samples::SampleProject project_;
  std::chrono::steady_clock::time_point now_{};
};

TEST_F(Session, LooksAtTheTreeAtMostOncePerIntervalAndReloadsOnlyForAChange) {
  ProjectSession served = session({true, 2000ms});
  EXPECT_FALSE(holds(served, "web/src/new.ts"));
  EXPECT_EQ(served.loads(), 1);
  project_.write("web/src/new.ts", "export const fresh = 1;\n");
  now_ += 1999ms;
  EXPECT_FALSE(holds(served, "web/src/new.ts"));
  now_ += 1ms;
  EXPECT_TRUE(holds(served, "web/src/new.ts"));
  EXPECT_EQ(served.loads(), 2);
  now_ += 5000ms;
  EXPECT_TRUE(holds(served, "web/src/new.ts"));
  EXPECT_EQ(served.loads(), 2);
}

TEST_F(Session, SeesAGraphThatAnotherProgramRewrote) {
  ProjectSession served = session({true, 0ms});
  EXPECT_TRUE(holds(served, "README.md"));
  // A scan of another tree into the same graph file, as `crv scan --root` would write it.
  testing::TempDir other;
  other.write("other.py", "def other():\n    pass\n");
  const Locations locations = project_.locations();
  scanner::write_graph_file(other.path(), locations.graph_json, {}, {locations.graph_json});
  EXPECT_TRUE(holds(served, "other.py"));
  EXPECT_FALSE(holds(served, "README.md"));
}

TEST_F(Session, WithoutRefreshServesTheGraphAsItWasLoaded) {
  ProjectSession served = session({false, 0ms});
  EXPECT_TRUE(holds(served, "README.md"));
  project_.write("web/src/new.ts", "export const fresh = 1;\n");
  now_ += 1h;
  EXPECT_FALSE(holds(served, "web/src/new.ts"));
  EXPECT_EQ(served.loads(), 1);
}

TEST_F(Session, AFailedLookKeepsTheGraphItHadForTheNextCall) {
  ProjectSession served = session({true, 0ms});
  EXPECT_TRUE(holds(served, "README.md"));
  const std::filesystem::path moved = project_.root().string() + "-moved";
  std::filesystem::rename(project_.root(), moved);
  EXPECT_THROW(served.project(), Error);
  std::filesystem::rename(moved, project_.root());
  EXPECT_TRUE(holds(served, "README.md"));
  EXPECT_EQ(served.loads(), 1);
}

}  // namespace
}  // namespace plinthar::query::mcp

#include "plinthar/query/data/locations.hpp"

#include <map>

#include <gtest/gtest.h>

#include "test_util.hpp"

namespace plinthar::query {
namespace {
namespace fs = std::filesystem;

// Runs the test body with the working directory switched to `dir`.
class InDirectory {
 public:
  explicit InDirectory(const fs::path& dir) : previous_(fs::current_path()) {
    fs::current_path(dir);
  }
  ~InDirectory() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

EnvLookup fake_env(std::map<std::string, std::string, std::less<>> values) {
  return [values](std::string_view name) -> std::optional<std::string> {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
}

TEST(Locations, FilesHangOffTheProgramFolderWhateverTheWorkingDirectory) {
  testing::TempDir dir;
  fs::create_directories(dir / "work");
  const fs::path cwd = fs::canonical(dir / "work");
  const InDirectory in(cwd);
  const auto locations = compute_locations("/opt/crv", fake_env({}));
  EXPECT_EQ(locations.data_dir, "/opt/crv/data");
  EXPECT_EQ(locations.graph_json, "/opt/crv/data/info_graph.json");
  EXPECT_EQ(locations.action_log, "/opt/crv/data/action_events.jsonl");
  EXPECT_EQ(locations.token_log, "/opt/crv/data/token_usage.jsonl");
  EXPECT_EQ(locations.capability_index, "/opt/crv/data/functionality_index.md");
  EXPECT_EQ(locations.default_root, cwd);
  EXPECT_FALSE(fs::exists(dir / "work/data"));
}

TEST(Locations, EnvironmentValuesResolveAgainstTheWorkingDirectoryAndEmptyCounts) {
  testing::TempDir dir;
  fs::create_directories(dir / "work/proj");
  fs::create_symlink(dir / "work/proj", dir / "work/link");
  const fs::path cwd = fs::canonical(dir / "work");
  const InDirectory in(cwd);
  const auto relative =
      compute_locations("/opt/crv", fake_env({{"CRV_CAPABILITY_INDEX", "idx/caps.md"},
                                              {"CORVEL_PROJECT_ROOT", "link/../proj/"}}));
  EXPECT_EQ(relative.capability_index, cwd / "idx/caps.md");
  EXPECT_EQ(relative.default_root, cwd / "proj");
  const auto empty = compute_locations(
      "/opt/crv", fake_env({{"CRV_CAPABILITY_INDEX", ""}, {"CORVEL_PROJECT_ROOT", ""}}));
  EXPECT_EQ(empty.capability_index, cwd);
  EXPECT_EQ(empty.default_root, cwd);
}

}  // namespace
}  // namespace plinthar::query

#include "plinthar/query/data/data_directory.hpp"

#include <map>

#include <gtest/gtest.h>

#include "test_util.hpp"

namespace plinthar::query {
namespace {
namespace fs = std::filesystem;

EnvLookup fake_env(std::map<std::string, std::string, std::less<>> values) {
  return [values](std::string_view name) -> std::optional<std::string> {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
}

TEST(DataDirectory, CopiedProgramsKeepDataBesideThemUnlessNamedInstalledOnesUseTheProject) {
  testing::TempDir dir;
  dir.write("shop/.corvel/info_graph.json", "{}");
  dir.write("shop/web/src/app.ts", "");
  dir.write("loose/notes.md", "");
  const fs::path top = fs::canonical(dir.path());
  const fs::path base = "/opt/tool";
  struct Row {
    const char* name;
    bool installed;
    std::map<std::string, std::string, std::less<>> env;
    const char* cwd;
    DataPlace place;
    fs::path data_dir;
  };
  const Row rows[] = {
      {"copied", false, {}, "shop/web", DataPlace::BESIDE_PROGRAM, base / "data"},
      {"copied, root set",
       false,
       {{"CORVEL_PROJECT_ROOT", "shop"}},
       "shop",
       DataPlace::BESIDE_PROGRAM,
       base / "data"},
      {"copied, named",
       false,
       {{"CRV_DATA_DIR", "../state"}},
       "shop",
       DataPlace::NAMED,
       top / "state"},
      {"copied, named empty",
       false,
       {{"CRV_DATA_DIR", ""}},
       "shop",
       DataPlace::BESIDE_PROGRAM,
       base / "data"},
      {"installed, below the project",
       true,
       {},
       "shop/web/src",
       DataPlace::PROJECT,
       top / "shop/.corvel"},
      {"installed, first use", true, {}, "loose", DataPlace::PROJECT, top / "loose/.corvel"},
      {"installed, root set",
       true,
       {{"CORVEL_PROJECT_ROOT", "../loose"}},
       "shop/web",
       DataPlace::PROJECT,
       top / "shop/loose/.corvel"},
      {"installed, named",
       true,
       {{"CRV_DATA_DIR", "/srv/crv"}},
       "shop",
       DataPlace::NAMED,
       "/srv/crv"},
  };
  for (const Row& row : rows) {
    const DataDirChoice choice =
        choose_data_dir(base, row.installed, fake_env(row.env), top / row.cwd);
    EXPECT_EQ(choice.place, row.place) << row.name;
    EXPECT_EQ(choice.data_dir, row.data_dir) << row.name;
    if (row.place == DataPlace::PROJECT) {
      EXPECT_EQ(choice.project_root, row.data_dir.parent_path()) << row.name;
    }
  }
}

TEST(DataDirectory, OnlyTheInstalledTreeMarksAProgramAsInstalled) {
  testing::TempDir dir;
  fs::create_directories(dir / "usr/bin");
  fs::create_directories(dir / "copy");
  dir.write("usr/share/plinthar/per-project-data", "marker");
  EXPECT_TRUE(installed_system_wide(dir / "usr/bin"));
  EXPECT_FALSE(installed_system_wide(dir / "copy"));
  fs::create_directories(dir / "share/plinthar/per-project-data");  // a folder is no marker
  EXPECT_FALSE(installed_system_wide(dir / "copy"));
}

}  // namespace
}  // namespace plinthar::query

#include "plinthar/query/setup/crv_program.hpp"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "test_util.hpp"

namespace plinthar::query::setup {
namespace {
namespace fs = std::filesystem;

TEST(ShellWord, QuotesOnlyWhatTheShellWouldNotTakeLiterally) {
  const std::pair<const char*, const char*> cases[] = {
      {"crv", "crv"},
      {"/opt/plinthar-1.0/bin/crv", "/opt/plinthar-1.0/bin/crv"},
      {"/home/me/my tools/crv", "'/home/me/my tools/crv'"},
      {"tools/it's/crv", "'tools/it'\\''s/crv'"},
      {"tools/$HOME/crv", "'tools/$HOME/crv'"},
      {"", "''"},
  };
  for (const auto& [word, quoted] : cases) EXPECT_EQ(shell_word(word), quoted) << word;
}

TEST(CrvProgramName, PlainCrvOnlyWhenPathLeadsToThisVeryProgram) {
  testing::TempDir dir;
  const fs::path program = dir.write("build/crv", "#!/bin/sh\n");
  dir.write("other/crv", "#!/bin/sh\n");
  dir.write("plain/crv", "not a program\n");
  fs::permissions(program, fs::perms::owner_all);
  fs::permissions(dir / "other/crv", fs::perms::owner_all);
  fs::create_directories(dir / "bin");
  fs::create_symlink(program, dir / "bin/crv");
  const auto name_with_path = [&](const std::string& path) {
    return crv_program_name(program, [&](std::string_view) { return path; });
  };
  const std::string folder = dir.path().string();
  EXPECT_EQ(name_with_path(folder + "/bin"), "crv");
  EXPECT_EQ(name_with_path(folder + "/plain:" + folder + "/bin"), "crv");
  EXPECT_EQ(name_with_path(folder + "/other:" + folder + "/bin"), program.string());
  EXPECT_EQ(name_with_path("/nonexistent"), program.string());
  EXPECT_EQ(crv_program_name(program, [](std::string_view) { return std::nullopt; }),
            program.string());
}

}  // namespace
}  // namespace plinthar::query::setup

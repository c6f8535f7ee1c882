#pragma once

// The set-up every end-to-end test of crv shares: a copy of the built crv in tool/ of a
// fresh temporary folder, so that its data directory is tool/data (not made here), and a
// project folder proj/ to run it in.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "test_util.hpp"

namespace plinthar::testing {

class CrvFixture : public ::testing::Test {
 protected:
  CrvFixture() {
    std::filesystem::create_directories(dir_ / "tool");
    std::filesystem::create_directories(dir_ / "proj");
    std::filesystem::copy_file(PLINTHAR_CRV_BIN, dir_ / "tool/crv");
    data_ = std::filesystem::canonical(dir_ / "tool") / "data";
  }

  // Runs `program` (relative to the temporary folder) with `args` in `folder`, `env` put
  // before the command and `input` on standard input; a run that takes longer than 20 s
  // is killed and reads as status 124.
  RunResult run(const std::string& program, const std::string& args, const std::string& env,
                const std::filesystem::path& input, const std::string& folder) const {
    return run_command(dir_ / folder, "timeout 20 " + program_command(dir_ / program) + " " + args,
                       env, input);
  }

  // Runs the copied crv with `args` in the project folder.
  RunResult crv(const std::string& args, const std::string& env = "") const {
    return run("tool/crv", args, env, "/dev/null", "proj");
  }

  std::string proj() const { return std::filesystem::canonical(dir_ / "proj").string(); }

  TempDir dir_;
  std::filesystem::path data_;
};

}  // namespace plinthar::testing

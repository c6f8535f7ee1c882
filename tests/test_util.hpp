#pragma once

// Shared fixtures: a temporary directory that cleans up after itself (kept when
// PLINTHAR_KEEP_TEMP is set, for debugging), file helpers and a way to run a program.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace plinthar::testing {

class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "plinthar-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    if (std::getenv("PLINTHAR_KEEP_TEMP") != nullptr) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view relative) const { return path_ / relative; }

  // Writes `content` to `relative` below the directory, creating parent folders.
  std::filesystem::path write(std::string_view relative, std::string_view content) const {
    const auto target = path_ / relative;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary);
    out << content;
    return target;
  }

  // A file of `size` bytes that takes no room on disk (all one hole).
  std::filesystem::path sparse(std::string_view relative, std::uint64_t size) const {
    const auto target = write(relative, "");
    std::filesystem::resize_file(target, size);
    return target;
  }

 private:
  std::filesystem::path path_;
};

inline std::string read_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The shell words that start the built program at `program`. In a cross build they start
// it under the emulator that CTest runs the tests with (PLINTHAR_TEST_EMULATOR, quoted
// words each followed by a space), since the system cannot run the target's programs.
inline std::string program_command(const std::filesystem::path& program) {
  return std::string(PLINTHAR_TEST_EMULATOR) + "'" + program.string() + "'";
}

// Result of running a program: exit status and captured output.
struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `command` through the shell in `directory`, with `env_prefix` (e.g.
// "CRV_QUERY=x ") put before it; standard input is empty unless `input` names a file.
inline RunResult run_command(const std::filesystem::path& directory, const std::string& command,
                             const std::string& env_prefix = "",
                             const std::filesystem::path& input = "/dev/null") {
  static int counter = 0;
  const auto stem =
      std::filesystem::temp_directory_path() /
      ("plinthar-run-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  const std::string out_file = stem.string() + ".out";
  const std::string err_file = stem.string() + ".err";
  const std::string full = "cd '" + directory.string() + "' && " + env_prefix + command + " <'" +
                           input.string() + "' >'" + out_file + "' 2>'" + err_file + "'";
  const int raw = std::system(full.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = read_text(out_file);
  result.err = read_text(err_file);
  std::filesystem::remove(out_file);
  std::filesystem::remove(err_file);
  return result;
}

}  // namespace plinthar::testing

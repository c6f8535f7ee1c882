#include "plinthar/query/setup/crv_program.hpp"

#include <system_error>

#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/text/file_io.hpp"

namespace plinthar::query::setup {
namespace fs = std::filesystem;
namespace {

bool is_program(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error);
}

// The first crv in the folders of `path_list`, as a shell would find it.
std::optional<fs::path> first_on_path(std::string_view path_list) {
  std::size_t start = 0;
  while (start <= path_list.size()) {
    std::size_t end = path_list.find(':', start);
    if (end == std::string_view::npos) end = path_list.size();
    const std::string_view folder = path_list.substr(start, end - start);
    const fs::path candidate = fs::path(folder.empty() ? "." : folder) / PROGRAM_NAME;
    if (is_program(candidate)) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

bool literal_in_shell(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("/._-+=:,@%").find(c) != std::string_view::npos;
}

}  // namespace

fs::path crv_executable(const Locations& locations) {
  std::error_code error;
  const fs::path running = text::resolve_path(fs::read_symlink("/proc/self/exe", error));
  if (!error && same_file(running.parent_path(), locations.base_dir)) return running;
  const fs::path beside = text::resolve_path(locations.base_dir / PROGRAM_NAME);
  if (is_program(beside)) return beside;
  throw Error("cannot find the crv program: not at " + beside.string());
}

std::string crv_program_name(const fs::path& program, const EnvLookup& env) {
  const auto path_list = env("PATH");
  if (path_list) {
    if (const auto found = first_on_path(*path_list); found && same_file(*found, program)) {
      return std::string(PROGRAM_NAME);
    }
  }
  return program.string();
}

std::string shell_word(std::string_view word) {
  bool literal = !word.empty();
  for (const char c : word) literal = literal && literal_in_shell(c);
  if (literal) return std::string(word);
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace plinthar::query::setup

#pragma once

// Which of the files a walk finds a scan leaves out.

#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace plinthar::scanner {

// The calling program's own outputs, which never feed a scan, and whether files whose
// resolved location lies outside the root are left out too. A crv that serves whatever
// project it is started in leaves them out: a repository's links must not make it read
// the rest of the machine (a link to ~/.ssh/id_rsa would put the key into the graph).
struct ScanScope {
  std::set<std::filesystem::path> outputs;
  bool inside_root_only = false;

  ScanScope() = default;
  ScanScope(std::set<std::filesystem::path> outputs_left_out, bool only_inside_root = false)
      : outputs(std::move(outputs_left_out)), inside_root_only(only_inside_root) {}
  ScanScope(std::initializer_list<std::filesystem::path> outputs_left_out)
      : outputs(outputs_left_out) {}
};

// A scope made ready for testing walked files of the tree under `root`.
class ScopeTest {
 public:
  ScopeTest(const ScanScope& scope, const std::filesystem::path& root);

  // Whether the walked file whose resolved location is `resolved` is left out.
  bool leaves_out(std::string_view resolved) const;

 private:
  std::set<std::string, std::less<>> outputs_;
  std::string root_prefix_;  // resolved root with a trailing '/'; empty: no such rule
};

}  // namespace plinthar::scanner

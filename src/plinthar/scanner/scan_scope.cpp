#include "plinthar/scanner/scan_scope.hpp"

#include "plinthar/text/file_io.hpp"

namespace plinthar::scanner {

ScopeTest::ScopeTest(const ScanScope& scope, const std::filesystem::path& root) {
  for (const auto& path : scope.outputs) outputs_.insert(text::resolve_path(path).native());
  if (scope.inside_root_only) {
    root_prefix_ = text::resolve_path(root).native();
    if (!root_prefix_.ends_with('/')) root_prefix_ += '/';
  }
}

bool ScopeTest::leaves_out(std::string_view resolved) const {
  if (outputs_.find(resolved) != outputs_.end()) return true;
  return !root_prefix_.empty() && !resolved.starts_with(root_prefix_);
}

}  // namespace plinthar::scanner

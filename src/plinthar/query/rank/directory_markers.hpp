#pragma once

// The fixed directory markers that scoring looks for in a path ("/pages/", "/api/",
// "/components/ui/" ...). A marker "/name/" occurs in a path exactly when "name" lies
// between two consecutive slashes, so one walk over the path's segments answers every
// marker at once instead of one substring search each.

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace plinthar::query {

enum class DirectoryMarker : unsigned {
  test,                 // "/test/"
  tests,                // "/tests/"
  components_ui,        // "/components/ui/"
  components_features,  // "/components/features/"
  pages,                // "/pages/"
  views,                // "/views/"
  screens,              // "/screens/"
  api,                  // "/api/"
  services,             // "/services/"
  store,                // "/store/"
  hooks,                // "/hooks/"
  utils,                // "/utils/"
  venv,                 // "/venv/"
  dot_venv,             // "/.venv/"
};

class DirectoryMarkers {
 public:
  // The markers that occur in `path` (compared as it is; callers lower-case it).
  static DirectoryMarkers of(std::string_view path);

  // Whether any of `markers` occurs.
  bool any(std::initializer_list<DirectoryMarker> markers) const {
    for (const DirectoryMarker marker : markers) {
      if (bits_ & bit(marker)) return true;
    }
    return false;
  }

 private:
  static constexpr std::uint32_t bit(DirectoryMarker marker) {
    return std::uint32_t{1} << static_cast<unsigned>(marker);
  }

  std::uint32_t bits_ = 0;
};

}  // namespace plinthar::query

#include "plinthar/query/rank/directory_markers.hpp"

#include <array>
#include <utility>

namespace plinthar::query {
namespace {

using enum DirectoryMarker;

constexpr std::array<std::pair<std::string_view, DirectoryMarker>, 12> ONE_SEGMENT = {{
    {"test", test},
    {"tests", tests},
    {"pages", pages},
    {"views", views},
    {"screens", screens},
    {"api", api},
    {"services", services},
    {"store", store},
    {"hooks", hooks},
    {"utils", utils},
    {"venv", venv},
    {".venv", dot_venv},
}};

// The segment that starts after the slash at `slash`, when another slash closes it.
bool inner_segment(std::string_view path, std::size_t slash, std::string_view& segment,
                   std::size_t& closing) {
  closing = path.find('/', slash + 1);
  if (closing == std::string_view::npos) return false;
  segment = path.substr(slash + 1, closing - slash - 1);
  return true;
}

}  // namespace

DirectoryMarkers DirectoryMarkers::of(std::string_view path) {
  DirectoryMarkers markers;
  std::string_view segment;
  std::size_t closing = 0;
  for (std::size_t slash = path.find('/');
       slash != std::string_view::npos && inner_segment(path, slash, segment, closing);
       slash = closing) {
    for (const auto& [name, marker] : ONE_SEGMENT) {
      if (segment == name) markers.bits_ |= bit(marker);
    }
    std::string_view next;
    std::size_t after = 0;
    if (segment == "components" && inner_segment(path, closing, next, after)) {
      if (next == "ui") markers.bits_ |= bit(components_ui);
      if (next == "features") markers.bits_ |= bit(components_features);
    }
  }
  return markers;
}

}  // namespace plinthar::query

#include "plinthar/query/rank/directory_markers.hpp"

#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace plinthar::query {
namespace {

TEST(DirectoryMarkers, AgreeWithASearchForEachMarker) {
  using enum DirectoryMarker;
  const std::vector<std::pair<DirectoryMarker, std::string>> markers = {
      {test, "/test/"},
      {tests, "/tests/"},
      {components_ui, "/components/ui/"},
      {components_features, "/components/features/"},
      {pages, "/pages/"},
      {views, "/views/"},
      {screens, "/screens/"},
      {api, "/api/"},
      {services, "/services/"},
      {store, "/store/"},
      {hooks, "/hooks/"},
      {utils, "/utils/"},
      {venv, "/venv/"},
      {dot_venv, "/.venv/"}};
  const std::vector<std::string> pieces = {
      "/",     "components", "ui",   "features", "pages",    "api",     "test",
      "tests", ".venv",      "venv", "x",        "apis",     "::",      "store",
      "page",  "utils/",     "/ui",  "hooks",    "services", "screens", "views"};
  std::mt19937 random(5);
  for (int round = 0; round < 50000; ++round) {
    std::string path;
    for (int i = static_cast<int>(random() % 9); i > 0; --i)
      path += pieces[random() % pieces.size()];
    const DirectoryMarkers found = DirectoryMarkers::of(path);
    for (const auto& [marker, text] : markers) {
      ASSERT_EQ(found.any({marker}), path.find(text) != std::string::npos) << path << " " << text;
    }
  }
}

}  // namespace
}  // namespace plinthar::query

#pragma once

// The project a server serves: its locations, and its graph loaded once and kept up to
// date. Before a call the graph is brought up to date with the tree as `crv retrieve
// --refresh` does, at most once per interval, so that a burst of calls pays for one look
// at the tree; when nothing changed, what was loaded stays in memory as it is.

#include <chrono>
#include <functional>
#include <memory>

#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/mcp/loaded_project.hpp"

namespace plinthar::query::mcp {

struct SessionOptions {
  bool refresh = true;                               // follow the tree at all
  std::chrono::milliseconds refresh_interval{2000};  // least time between two looks
};

class ProjectSession {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  ProjectSession(
      Locations locations, SessionOptions options,
      Clock clock = [] { return std::chrono::steady_clock::now(); });

  const Locations& locations() const { return locations_; }

  // The graph, loaded on first use (scanning the project when it has none yet) and
  // refreshed when due. Throws plinthar::Error when it cannot be loaded or refreshed;
  // what was loaded before stays for the next call.
  LoadedProject& project();

  // How many times a graph was taken into memory: the first load and each change seen.
  int loads() const { return loads_; }

 private:
  bool refresh_due() const;
  void look_for_changes();
  void take(LoadedGraph graph);

  Locations locations_;
  SessionOptions options_;
  Clock clock_;
  std::unique_ptr<LoadedProject> project_;
  std::chrono::steady_clock::time_point last_look_{};
  int loads_ = 0;
};

}  // namespace plinthar::query::mcp

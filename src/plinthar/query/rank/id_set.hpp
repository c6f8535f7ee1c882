#pragma once

// The ids of the rows chosen for a query, looked up once for each end of every edge.

#include <cstddef>
#include <string_view>
#include <vector>

#include <absl/container/flat_hash_set.h>

#include "plinthar/query/graph/map_records.hpp"

namespace plinthar::query {

using text::Json;

// Ids of the chosen rows as stored, a missing id as ""; strings are hashed, other
// values compared as JSON. A missing edge end matches none of them.
// Every edge end is looked up, and there are usually a dozen ids: those few are compared
// directly, which spares hashing every end; larger sets are hashed.
class IdSet {
 public:
  void insert(const index::StoredMember& id);
  bool contains(const index::StoredMember& end) const;

 private:
  static constexpr std::size_t LINEAR_LIMIT = 32;
  std::vector<std::string_view> listed_;
  absl::flat_hash_set<std::string_view> hashed_;
  std::vector<const Json*> others_;
};

}  // namespace plinthar::query

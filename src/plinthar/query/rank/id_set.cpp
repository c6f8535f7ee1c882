#include "plinthar/query/rank/id_set.hpp"

#include <algorithm>

namespace plinthar::query {

void IdSet::insert(const index::StoredMember& id) {
  if (id.value != nullptr) {
    others_.push_back(id.value);
    return;
  }
  listed_.push_back(id.text);
  if (listed_.size() == LINEAR_LIMIT + 1) {
    hashed_.insert(listed_.begin(), listed_.end());
  } else if (listed_.size() > LINEAR_LIMIT + 1) {
    hashed_.insert(id.text);
  }
}

bool IdSet::contains(const index::StoredMember& end) const {
  if (!end.present) return false;
  if (end.value == nullptr) {
    if (listed_.size() > LINEAR_LIMIT) return hashed_.contains(end.text);
    return std::find(listed_.begin(), listed_.end(), end.text) != listed_.end();
  }
  return std::any_of(others_.begin(), others_.end(),
                     [&end](const Json* o) { return *o == *end.value; });
}

}  // namespace plinthar::query

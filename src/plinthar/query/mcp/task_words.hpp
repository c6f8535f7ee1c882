#pragma once

// The words of a task as its user wrote them, for the terms the hybrid ranking made of
// them: a term is a stemmed, lower-cased part of a word ("storage" gives "storag",
// "useCart" gives "use", "cart" and "usecart"), which reads oddly in a reason.

#include <string>
#include <string_view>

#include <absl/container/flat_hash_map.h>

namespace plinthar::query::mcp {

class TaskWords {
 public:
  explicit TaskWords(std::string_view task);

  // The word of the task that gave `term` (its part that gave it, for a part of a longer
  // word), or the term itself when no word did.
  std::string word_of(const std::string& term) const;

 private:
  absl::flat_hash_map<std::string, std::string> words_;
};

}  // namespace plinthar::query::mcp

#pragma once

// A task as the hybrid ranking reads it: its terms, each with a weight, and the kinds of
// file its wording asks for (a version bump, documentation, configuration, tests).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plinthar::query::hybrid {

struct WeightedTerm {
  std::string term;
  double weight;
  std::uint32_t count = 1;  // times the task says it (outside a commit prefix), at least 1
};

struct HybridQuery {
  std::vector<WeightedTerm> terms;  // distinct, in order of first appearance
  bool wants_version = false;
  bool wants_docs = false;
  bool wants_config = false;
  bool wants_tests = false;
  bool wants_changelog = false;
  bool wants_templates = false;
  std::vector<std::string> named_keys;  // named_path_keys (named_files.hpp)
};

// Terms weigh 1, those of the scope of a conventional commit prefix ("fix(persist): ...")
// 2; the prefix's type is no term. A term keeps the weight it first had.
// The task's wording also says which classes of file it is about (tests, docs, change
// logs, templates) and which files it names.
HybridQuery analyse_hybrid_query(std::string_view query);

}  // namespace plinthar::query::hybrid

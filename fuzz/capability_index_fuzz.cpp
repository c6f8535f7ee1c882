// The capability index: the input is the text of functionality_index.md. Its entries
// must keep the reader's promises, and the boosts of queries made of the entries' own
// keywords must follow from them.

#include <set>
#include <string>
#include <vector>

#include "fuzz_target.hpp"
#include "plinthar/query/rank/capability_index.hpp"
#include "plinthar/query/rank/query_analysis.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace plinthar::query;
  const std::vector<CapabilityEntry> caps =
      parse_capability_index(plinthar::fuzz::as_text(data, size));
  std::vector<std::string> terms;
  for (const CapabilityEntry& cap : caps) {
    FUZZ_CHECK(!cap.name.empty());
    FUZZ_CHECK(!cap.keywords.empty() || !cap.files.empty());
    for (const std::string& file : cap.files) {
      FUZZ_CHECK(file.find('/') != std::string::npos && file.find('.') != std::string::npos);
    }
    for (const std::string& keyword : cap.keywords) {
      FUZZ_CHECK(!keyword.empty());
      terms.push_back(keyword);
    }
    const auto name_terms = tokenize_query(cap.name);
    terms.insert(terms.end(), name_terms.begin(), name_terms.end());
  }
  const FileBoosts boosts = capability_file_boosts(terms, caps);
  std::set<std::string> boosted;
  for (const auto& [file, boost] : boosts) {
    FUZZ_CHECK(boost >= 6 && boost % 2 == 0);
    FUZZ_CHECK(boosted.insert(file).second);
  }
  const CapabilityBoosts indexed = index_boosts(boosts);
  for (const auto& [file, boost] : indexed.boosts) {
    FUZZ_CHECK(capability_boost(file, indexed) >= boost);
  }
  return 0;
}

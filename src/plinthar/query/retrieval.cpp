#include "plinthar/query/retrieval.hpp"

namespace plinthar::query {

RetrieveResult retrieve(const Json&, std::string_view, std::int64_t, std::int64_t,
                        const std::filesystem::path&) {
  return {};
}

}  // namespace plinthar::query

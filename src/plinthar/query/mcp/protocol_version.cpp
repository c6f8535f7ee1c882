#include "plinthar/query/mcp/protocol_version.hpp"

#include <algorithm>

namespace plinthar::query::mcp {

std::string_view negotiate_protocol_version(std::string_view requested) {
  const auto* found =
      std::find(SUPPORTED_PROTOCOL_VERSIONS.begin(), SUPPORTED_PROTOCOL_VERSIONS.end(), requested);
  return found == SUPPORTED_PROTOCOL_VERSIONS.end() ? LATEST_PROTOCOL_VERSION : *found;
}

bool has_structured_output(std::string_view version) { return version >= "2025-06-18"; }

bool has_tool_titles(std::string_view version) { return version >= "2025-06-18"; }

bool has_tool_annotations(std::string_view version) { return version >= "2025-03-26"; }

}  // namespace plinthar::query::mcp

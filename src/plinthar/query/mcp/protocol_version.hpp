#pragma once

// The revisions of the Model Context Protocol the server speaks, and what each allows.
// Revisions are dates, so they order as text.

#include <array>
#include <string_view>

namespace plinthar::query::mcp {

inline constexpr std::string_view LATEST_PROTOCOL_VERSION = "2025-06-18";
inline constexpr std::array<std::string_view, 3> SUPPORTED_PROTOCOL_VERSIONS = {
    "2025-06-18", "2025-03-26", "2024-11-05"};

// The revision to answer an initialize request offering `requested` with: the same when
// the server speaks it, else the latest, which the client may then refuse.
std::string_view negotiate_protocol_version(std::string_view requested);

// Tools declare an output schema and return structured content (2025-06-18 on).
bool has_structured_output(std::string_view version);

// Tools carry a display title beside their name (2025-06-18 on).
bool has_tool_titles(std::string_view version);

// Tools carry annotations such as readOnlyHint (2025-03-26 on).
bool has_tool_annotations(std::string_view version);

}  // namespace plinthar::query::mcp

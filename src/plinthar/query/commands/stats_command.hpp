#pragma once

// `crv stats`: a summary of the token usage log that another tool writes.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// Prints the summary of the token log as text lines or, with --json, as a JSON
// document. Throws plinthar::Error for an unreadable or non-UTF-8 log and for a token
// count that is not an integer; nothing is printed then.
struct StatsOptions {
  bool json = false;
};

int cmd_stats(const StatsOptions& options, const Locations& locations, const Streams& streams);

// A record's "total_tokens" as an integer: 0 when missing (or when the record is not a
// map), integers as they are, booleans as 0 or 1, floating-point numbers truncated
// toward zero, decimal text with optional sign and surrounding white space. Throws
// plinthar::Error for anything else.
std::int64_t token_count(const Json& record);

// The summary map {"event_count", "total_tokens", "by_mode", "recent"} of `events`.
// A record without "mode" (or not a map) counts under "unknown".
Json summarise_token_usage(const std::vector<Json>& events);

// The text form: event and token totals, then one line per mode in code-point order.
std::string format_stats_text(const Json& summary);

}  // namespace plinthar::query

#pragma once

// The action log: `crv action log` and the tool hook append one record per run, the
// prime block reads the most recent ones back.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/query/data/locations.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// The last `limit` records of the log (slice semantics: 0 lists all, -k drops the
// first k), oldest first; every JSON value of a line counts. Throws plinthar::Error
// when the log exists but cannot be read.
std::vector<Json> read_action_events(const Locations& locations, std::int64_t limit = 8);

// A moment given in microseconds since the epoch as UTC ISO 8601 with offset:
// "YYYY-MM-DDTHH:MM:SS.ffffff+00:00", without the fraction when it is zero.
std::string format_timestamp(std::int64_t microseconds);

// The current time in microseconds since the epoch.
std::int64_t now_microseconds();

// The action record in its member order.
Json make_action_record(std::string timestamp, std::string_view kind, std::string_view summary,
                        Json meta);

// Appends `line` (ending with "\n") to `path` in a single write on a file opened for
// appending, so concurrent writers never interleave within a line. When the file does
// not end with a line feed (an earlier append failed part way), the write starts with
// one. A symbolic link at `path` is followed only when `links` says so. Throws plinthar::Error when
// the file cannot be opened (a link among the reasons) or the write fails; a failed write may leave
// part of the line, without its line feed.
void append_line(const std::filesystem::path& path, std::string_view line,
                 text::Links links = text::Links::followed);

}  // namespace plinthar::query

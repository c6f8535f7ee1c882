#pragma once

// The two JSON-lines logs of the data directory: one JSON value per line.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// Every value of the log at `path`, in file order: the file is split by the universal
// line split, blank lines, lines that are not valid UTF-8 and lines that are not one JSON
// value are skipped, and any JSON value is kept. A missing file, and one that is not a
// regular file (a FIFO or a device is never read), reads as empty. Throws plinthar::Error
// for a directory, for a file that cannot be read and for a symbolic link that `links`
// says not to follow.
std::vector<Json> read_json_lines(const std::filesystem::path& path,
                                  text::Links links = text::Links::followed);

// The values of a log whose text is `text`, read as read_json_lines does.
std::vector<Json> parse_json_lines(std::string_view text);

// The last `limit` elements of `values` in their order, with list-slice semantics: 0
// keeps all, a limit beyond the size keeps all, and a negative limit -k drops the first
// k instead.
std::vector<Json> last_elements(std::vector<Json> values, std::int64_t limit);

// The index of the first of the last `limit` elements of a list of `size`, with the
// same slice semantics.
std::size_t last_elements_start(std::size_t size, std::int64_t limit);

}  // namespace plinthar::query

#include "plinthar/query/data/json_lines.hpp"

#include <algorithm>

#include "plinthar/error.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/lines.hpp"
#include "plinthar/text/utf8.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::query {

std::vector<text::Json> read_json_lines(const std::filesystem::path& path, text::Links links) {
  const text::WholeFile file = text::read_whole_file(path, links);
  switch (file.outcome) {
    case text::FileRead::read:
      break;
    case text::FileRead::missing:
    case text::FileRead::not_regular:
      return {};
    case text::FileRead::directory:
    case text::FileRead::failed:
      throw Error(text::read_failure(path, file));
  }
  return parse_json_lines(file.bytes);
}

std::vector<text::Json> parse_json_lines(std::string_view text) {
  std::vector<text::Json> values;
  for (const std::string_view line : text::split_lines(text)) {
    // A line with bytes that are not UTF-8 (a stray byte, a record cut inside a
    // character) is as unreadable as any other broken line; the rest of the log stands.
    if (text::trim(line).empty() || !text::is_valid_utf8(line)) continue;
    if (auto value = text::try_parse_json(line)) values.push_back(std::move(*value));
  }
  return values;
}

std::size_t last_elements_start(std::size_t size, std::int64_t limit) {
  const auto count = static_cast<std::int64_t>(size);
  if (limit > 0) return static_cast<std::size_t>(std::max<std::int64_t>(0, count - limit));
  if (limit == 0) return 0;
  // -limit would overflow for the most negative value; below -size everything goes.
  return limit < -count ? size : static_cast<std::size_t>(-limit);
}

std::vector<text::Json> last_elements(std::vector<text::Json> values, std::int64_t limit) {
  const auto first = static_cast<std::ptrdiff_t>(last_elements_start(values.size(), limit));
  values.erase(values.begin(), values.begin() + first);
  return values;
}

}  // namespace plinthar::query

#include "plinthar/scanner/body_hash.hpp"

#include <algorithm>

#include "plinthar/scanner/short_hash.hpp"

namespace plinthar::scanner {

std::string _body_hash(const std::vector<std::string_view>& lines, std::int64_t start,
                       std::int64_t end) {
  const auto count = static_cast<std::int64_t>(lines.size());
  const std::int64_t last = std::min(end, count - 1);
  std::string body;
  bool first = true;
  for (std::int64_t i = std::max<std::int64_t>(start, 0); i <= last; ++i) {
    if (!first) body.push_back('\n');
    first = false;
    body.append(lines[static_cast<std::size_t>(i)]);
  }
  return short_hash(body);
}

}  // namespace plinthar::scanner

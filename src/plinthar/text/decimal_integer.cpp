#include "plinthar/text/decimal_integer.hpp"

#include <limits>

#include "plinthar/text/whitespace.hpp"

namespace plinthar::text {

std::optional<std::int64_t> parse_decimal_integer(std::string_view text, OutOfRange out_of_range) {
  text = text::trim(text);
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  // Accumulate as a negative number so that the most negative value fits too.
  constexpr auto LOWEST = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  bool overflow = false;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const int digit = c - '0';
    if (value < (LOWEST + digit) / 10) overflow = true;
    if (!overflow) value = value * 10 - digit;
  }
  if (!negative && !overflow && value == LOWEST) overflow = true;
  if (overflow) {
    if (out_of_range == OutOfRange::REJECT) return std::nullopt;
    return negative ? LOWEST : std::numeric_limits<std::int64_t>::max();
  }
  return negative ? value : -value;
}

}  // namespace plinthar::text

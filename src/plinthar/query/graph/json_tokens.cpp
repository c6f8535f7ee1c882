#include "plinthar/query/graph/json_tokens.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"

namespace plinthar::query {

namespace od = simdjson::ondemand;
namespace {

constexpr std::size_t BLOCK = 64;

// One bit per byte of the 64 bytes at `block`, set where the byte is a backslash. The
// comparison takes sixteen bytes at a time (one SSE2 or NEON instruction where the target
// has them), and each 0x00/0xff byte lane is packed into bits with a multiplication.
std::uint64_t backslash_bits(const char* block) {
  using Bytes = unsigned char __attribute__((vector_size(16)));
  constexpr Bytes BACKSLASHES = {'\\', '\\', '\\', '\\', '\\', '\\', '\\', '\\',
                                 '\\', '\\', '\\', '\\', '\\', '\\', '\\', '\\'};
  std::uint64_t bits = 0;
  for (std::size_t offset = 0; offset < BLOCK; offset += 16) {
    Bytes chunk;
    std::memcpy(&chunk, block + offset, sizeof chunk);
    const auto equal = chunk == BACKSLASHES;  // 0xff where equal, 0 elsewhere
    std::uint64_t lanes[2];
    std::memcpy(lanes, &equal, sizeof lanes);
    for (std::size_t half = 0; half < 2; ++half) {
      // Byte k's top bit moves to bit 56 + k: the partial products never overlap.
      const std::uint64_t packed =
          (((lanes[half] & 0x8080808080808080ULL) >> 7) * 0x0102040810204080ULL) >> 56;
      bits |= packed << (offset + 8 * half);
    }
  }
  return bits;
}

// The same for the `size` < 64 bytes at `block`, one at a time.
std::uint64_t backslash_bits(const char* block, std::size_t size) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (block[i] == '\\') bits |= std::uint64_t{1} << i;
  }
  return bits;
}

bool is_low_surrogate(unsigned unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Whether `text` is a JSON number; `integral` tells whether it has neither fraction nor
// exponent.
bool is_json_number(std::string_view text, bool& integral) {
  std::size_t pos = text.starts_with('-') ? 1 : 0;
  const auto digits = [&] {
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    return pos - start;
  };
  const std::size_t whole = pos;
  const std::size_t whole_digits = digits();
  if (whole_digits == 0 || (whole_digits > 1 && text[whole] == '0')) return false;
  integral = true;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    if (digits() == 0) return false;
    integral = false;
  }
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    if (digits() == 0) return false;
    integral = false;
  }
  return pos == text.size();
}

template <typename Number>
bool convert(std::string_view text, Number& number) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool is_high_surrogate(unsigned unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// The length of the valid escape at `pos` of `body`, or 0. Only whole surrogate pairs
// count as valid \u escapes of surrogates.
std::size_t escape_length(std::string_view body, std::size_t pos) {
  if (pos + 1 >= body.size()) return 0;
  switch (body[pos + 1]) {
    case '"':
    case '\\':
    case '/':
    case 'b':
    case 'f':
    case 'n':
    case 'r':
    case 't':
      return 2;
    case 'u':
      break;
    default:
      return 0;
  }
  const auto unit = text::hex_unit(body, pos + 2);
  if (!unit || is_low_surrogate(*unit)) return 0;
  if (!is_high_surrogate(*unit)) return 6;
  const auto low = body.substr(pos + 6, 2) == "\\u" ? text::hex_unit(body, pos + 8) : std::nullopt;
  return low && is_low_surrogate(*low) ? 12 : 0;
}

}  // namespace

std::optional<std::string_view> string_body(std::string_view token) {
  const auto close = token.find_last_not_of(" \t\n\r");
  if (token.size() < 2 || token.front() != '"' || close == 0 || close == std::string_view::npos ||
      token[close] != '"') {
    return std::nullopt;
  }
  return token.substr(1, close - 1);
}

// File texts in a graph carry an escape every few dozen bytes (each line break is one).
// Backslashes are found 64 bytes at a time as a bit mask, and each is checked where it
// stands, skipping those that belong to an escape already checked.
bool has_plain_escapes(std::string_view body) {
  std::size_t checked_up_to = 0;
  for (std::size_t block = 0; block < body.size(); block += BLOCK) {
    const std::size_t size = std::min(BLOCK, body.size() - block);
    std::uint64_t bits = size == BLOCK && std::endian::native == std::endian::little
                             ? backslash_bits(body.data() + block)
                             : backslash_bits(body.data() + block, size);
    for (; bits != 0; bits &= bits - 1) {
      const std::size_t pos = block + static_cast<std::size_t>(std::countr_zero(bits));
      if (pos < checked_up_to) continue;
      const std::size_t length = escape_length(body, pos);
      if (length == 0) return false;
      checked_up_to = pos + length;
    }
  }
  return true;
}

bool number_from_text(std::string_view text, text::Json& out) {
  bool integral = false;
  if (!is_json_number(text, integral)) return false;
  if (integral && text.starts_with('-')) {
    std::int64_t number = 0;
    if (convert(text, number)) {
      out = number;
      return true;
    }
  } else if (integral) {
    std::uint64_t number = 0;
    if (convert(text, number)) {
      out = number;
      return true;
    }
  }
  double number = 0;
  if (!convert(text, number)) return false;
  out = number;
  return true;
}

std::string_view trim_token(std::string_view token) {
  return token.substr(0, token.find_last_not_of(" \t\n\r") + 1);
}

bool read_key(od::field& field, std::string_view& key) {
  const char* const start = field.key().raw();
  const char* end = start;
  while (*end != '"' && *end != '\\') ++end;
  if (*end == '"') {
    key = std::string_view(start, static_cast<std::size_t>(end - start));
    return true;
  }
  return field.unescaped_key().get(key) == simdjson::SUCCESS;
}

}  // namespace plinthar::query

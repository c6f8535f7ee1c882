#include "plinthar/query/json_tokens.hpp"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "plinthar/query/json_text.hpp"

namespace plinthar::query {
namespace od = simdjson::ondemand;
namespace {

// The first backslash in [pos, end), or `end`. File texts in a graph carry an escape
// every few dozen bytes (each line break is one), so this compares sixteen bytes at a
// time (one SSE2 or NEON instruction where the target has them) without the cost of a
// library call per escape.
const char* next_backslash(const char* pos, const char* end) {
  using Bytes = unsigned char __attribute__((vector_size(16)));
  constexpr Bytes BACKSLASHES = {'\\', '\\', '\\', '\\', '\\', '\\', '\\', '\\',
                                 '\\', '\\', '\\', '\\', '\\', '\\', '\\', '\\'};
  for (; end - pos >= 16; pos += 16) {
    Bytes chunk;
    std::memcpy(&chunk, pos, sizeof chunk);
    const auto equal = chunk == BACKSLASHES;  // 0xff where equal, 0 elsewhere
    std::uint64_t halves[2];
    std::memcpy(halves, &equal, sizeof halves);
    if ((halves[0] | halves[1]) == 0) continue;
    if constexpr (std::endian::native == std::endian::little) {
      return halves[0] != 0 ? pos + std::countr_zero(halves[0]) / 8
                            : pos + 8 + std::countr_zero(halves[1]) / 8;
    }
    break;  // big-endian: the bytewise loop below finds it
  }
  for (; pos != end; ++pos) {
    if (*pos == '\\') return pos;
  }
  return end;
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

}  // namespace

std::optional<std::string_view> string_body(std::string_view token) {
  const auto close = token.find_last_not_of(" \t\n\r");
  if (token.size() < 2 || token.front() != '"' || close == 0 || close == std::string_view::npos ||
      token[close] != '"') {
    return std::nullopt;
  }
  return token.substr(1, close - 1);
}

bool has_plain_escapes(std::string_view body) {
  const char* const end = body.data() + body.size();
  for (const char* at = next_backslash(body.data(), end); at != end; at = next_backslash(at, end)) {
    const auto pos = static_cast<std::size_t>(at - body.data());
    if (pos + 1 >= body.size()) return false;
    switch (body[pos + 1]) {
      case '"':
      case '\\':
      case '/':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        at += 2;
        continue;
      case 'u':
        break;
      default:
        return false;
    }
    const auto unit = hex_unit(body, pos + 2);
    if (!unit || is_low_surrogate(*unit)) return false;
    if (*unit >= 0xD800 && *unit <= 0xDBFF) {
      const auto low = body.substr(pos + 6, 2) == "\\u" ? hex_unit(body, pos + 8) : std::nullopt;
      if (!low || !is_low_surrogate(*low)) return false;
      at += 12;
      continue;
    }
    at += 6;
  }
  return true;
}

bool number_from_text(std::string_view text, Json& out) {
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

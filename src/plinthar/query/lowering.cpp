#include "plinthar/query/lowering.hpp"

#include <algorithm>
#include <cstdint>

#include "plinthar/scanner/text.hpp"

namespace plinthar::query {

std::string_view lowered(std::string_view text, std::string& buffer) {
  const auto needs_work = [](char c) {
    return (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
  };
  const auto first = std::find_if(text.begin(), text.end(), needs_work);
  if (first == text.end()) return text;
  const bool ascii =
      std::none_of(first, text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (!ascii) {
    buffer = scanner::to_lower(text);
    return buffer;
  }
  buffer.assign(text);
  for (char& c : buffer) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return buffer;
}

MaskedText lowered_masked(std::string_view text, std::string& buffer) {
  CharMask mask;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || byte >= 0x80) return MaskedText(lowered(text, buffer));
    if (byte < 64) {
      mask.low |= std::uint64_t{1} << byte;
    } else {
      mask.high |= std::uint64_t{1} << (byte - 64);
    }
  }
  return MaskedText(text, mask);
}

}  // namespace plinthar::query

#include "plinthar/text/char_mask.hpp"

#include "plinthar/text/ascii.hpp"
#include "plinthar/text/unicode.hpp"

namespace plinthar::text {

MaskedText lowered_masked(std::string_view text, std::string& buffer) {
  CharMask mask;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (is_ascii_upper(byte) || byte >= 0x80) return MaskedText(lowered(text, buffer));
    if (byte < 64) {
      mask.low |= std::uint64_t{1} << byte;
    } else {
      mask.high |= std::uint64_t{1} << (byte - 64);
    }
  }
  return MaskedText(text, mask);
}

}  // namespace plinthar::text

#include "plinthar/scanner/extract/pattern_space.hpp"

#include "plinthar/text/ascii.hpp"
#include "plinthar/text/regex.hpp"

namespace plinthar::scanner {

std::size_t pattern_space_length(std::string_view text, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte < 0x80) return text::is_ascii_pattern_space(byte) ? 1 : 0;
  static const text::Regex space(R"(\s)");
  const auto found = space.match(text.substr(pos, text::utf8_length(byte)));
  return found ? found->end() : 0;
}

std::size_t skip_pattern_space(std::string_view text, std::size_t pos) {
  // ASCII white space, nearly all there is, is passed over without a call per byte.
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (text::is_ascii_pattern_space(byte)) {
      ++pos;
      continue;
    }
    if (byte < 0x80) return pos;
    const std::size_t length = pattern_space_length(text, pos);
    if (length == 0) break;
    pos += length;
  }
  return pos;
}

}  // namespace plinthar::scanner

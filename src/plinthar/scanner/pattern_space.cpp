#include "plinthar/scanner/pattern_space.hpp"

#include "plinthar/scanner/regex.hpp"

namespace plinthar::scanner {

std::size_t utf8_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  return 2;
}

std::size_t pattern_space_length(std::string_view text, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte < 0x80) return byte == ' ' || (byte >= '\t' && byte <= '\r') ? 1 : 0;
  static const Regex space(R"(\s)");
  const auto found = space.match(text.substr(pos, utf8_length(byte)));
  return found ? found->end() : 0;
}

std::size_t skip_pattern_space(std::string_view text, std::size_t pos) {
  // ASCII white space, nearly all there is, is passed over without a call per byte.
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte == ' ' || (byte >= '\t' && byte <= '\r')) {
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

#include "plinthar/text/whitespace.hpp"

#include "plinthar/text/ascii.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::text {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

bool is_space(char32_t cp) {
  if (cp < 0x80) return is_ascii_text_space(static_cast<unsigned char>(cp));
  return is_unicode_white_space(cp);
}

std::string_view trim_left(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t next = pos;
    if (!is_space(next_code_point(text, next))) break;
    pos = next;
  }
  return text.substr(pos);
}

std::string_view trim(std::string_view text) {
  text = trim_left(text);
  // Walk back over trailing white space only, one code point at a time.
  std::size_t end = text.size();
  while (end > 0) {
    std::size_t start = end - 1;
    while (start > 0 && is_continuation(static_cast<unsigned char>(text[start]))) --start;
    std::size_t pos = start;
    if (!is_space(next_code_point(text, pos))) break;
    end = start;
  }
  return text.substr(0, end);
}

std::vector<std::string_view> split_whitespace(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = std::string_view::npos;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t here = pos;
    if (is_space(next_code_point(text, pos))) {
      if (start != std::string_view::npos) parts.push_back(text.substr(start, here - start));
      start = std::string_view::npos;
    } else if (start == std::string_view::npos) {
      start = here;
    }
  }
  if (start != std::string_view::npos) parts.push_back(text.substr(start));
  return parts;
}

}  // namespace plinthar::text

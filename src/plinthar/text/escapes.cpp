#include "plinthar/text/escapes.hpp"

#include "plinthar/text/ascii.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::text {
namespace {

bool breaks_lines(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

}  // namespace

void append_unicode_escape(unsigned unit, std::string& out) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(HEX_DIGITS[(unit >> shift) & 0xF]);
}

void append_control_escape(char32_t cp, std::string& out) {
  switch (cp) {
    case U'\n':
      out += "\\n";
      return;
    case U'\r':
      out += "\\r";
      return;
    case U'\t':
      out += "\\t";
      return;
    default:
      append_unicode_escape(static_cast<unsigned>(cp), out);
  }
}

std::string one_line(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t length = utf8_sequence_length(text, pos);
    if (length == 0) {
      out.push_back(text[pos++]);
      continue;
    }
    std::size_t next = pos;
    const char32_t cp = next_code_point(text, next);
    if (breaks_lines(cp)) {
      append_control_escape(cp, out);
    } else {
      out.append(text.substr(pos, length));
    }
    pos += length;
  }
  return out;
}

}  // namespace plinthar::text

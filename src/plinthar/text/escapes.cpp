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

std::string_view short_escape(char32_t cp, ShortEscapes form) {
  struct Entry {
    char32_t cp;
    std::string_view escape;
    bool json_only;
  };
  static constexpr Entry TABLE[] = {
      {U'\n', "\\n", false}, {U'\r', "\\r", false}, {U'\t', "\\t", false}, {U'"', "\\\"", true},
      {U'\\', "\\\\", true}, {U'\b', "\\b", true},  {U'\f', "\\f", true}};
  for (const Entry& entry : TABLE) {
    if (entry.cp == cp && (form == ShortEscapes::json || !entry.json_only)) return entry.escape;
  }
  return {};
}

std::string one_line(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t length = utf8_sequence_length(text, pos);
    if (length == 0) {
      // A byte that is not UTF-8 gets the escape the JSON form gives it, so that the
      // line stays valid UTF-8.
      append_unicode_escape(0xDC00 + static_cast<unsigned char>(text[pos++]), out);
      continue;
    }
    std::size_t next = pos;
    const char32_t cp = next_code_point(text, next);
    if (breaks_lines(cp)) {
      const std::string_view escape = short_escape(cp, ShortEscapes::line);
      if (escape.empty()) append_unicode_escape(static_cast<unsigned>(cp), out);
      out += escape;
    } else {
      out.append(text.substr(pos, length));
    }
    pos += length;
  }
  return out;
}

}  // namespace plinthar::text

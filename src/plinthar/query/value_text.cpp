#include "plinthar/query/value_text.hpp"

#include "plinthar/query/member_text.hpp"
#include "plinthar/scanner/text.hpp"

namespace plinthar::query {
namespace {

constexpr char HEX[] = "0123456789abcdef";

bool needs_escape(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

void append_escape(char32_t cp, std::string& out) {
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
      break;
  }
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(HEX[(cp >> shift) & 0xF]);
}

}  // namespace

std::string printed_member(const Json& map, std::string_view key, std::string_view missing) {
  if (!map.is_object()) return std::string(missing);
  const auto found = map.find(std::string(key));
  if (found == map.end()) return std::string(missing);
  return text_form(*found);
}

std::string one_line(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t length = scanner::utf8_sequence_length(text, pos);
    if (length == 0) {
      out.push_back(text[pos++]);
      continue;
    }
    std::size_t next = pos;
    const char32_t cp = scanner::next_code_point(text, next);
    if (needs_escape(cp)) {
      append_escape(cp, out);
    } else {
      out.append(text.substr(pos, length));
    }
    pos += length;
  }
  return out;
}

}  // namespace plinthar::query

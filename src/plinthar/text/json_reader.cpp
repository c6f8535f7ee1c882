#include "plinthar/text/json_reader.hpp"

#include <charconv>
#include <exception>
#include <string>

#include "plinthar/error.hpp"

namespace plinthar::text {
namespace {

// The JSON writer turns each byte of a name that is not UTF-8 into a lone low-surrogate
// escape \udc80..\udcff, which the parser refuses. To read such a document we replace
// each of these escapes with "\u0000\u00XX" and each genuine NUL escape with
// "\u0000\u0000", parse, and then read every NUL in the parsed strings together with
// the character after it: a second NUL is the NUL, U+00XX is the byte XX. Raw NUL bytes
// cannot occur in JSON strings, so every NUL there comes from one of the two markers.

bool is_high_surrogate(std::optional<unsigned> unit) {
  return unit && *unit >= 0xD800 && *unit <= 0xDBFF;
}

// `text` with each lone \udc80..\udcff escape and each NUL escape replaced by its
// marker, or nothing when there is no lone escape.
std::optional<std::string> mark_lone_surrogates(std::string_view text) {
  std::string out;
  bool replaced = false;
  std::size_t copied = 0;
  for (std::size_t pos = text.find('\\'); pos != std::string_view::npos;
       pos = text.find('\\', pos)) {
    if (pos + 1 >= text.size() || text[pos + 1] != 'u') {
      pos += 2;
      continue;
    }
    const auto unit = hex_unit(text, pos + 2);
    if (unit == 0u) {
      out.append(text.substr(copied, pos + 6 - copied));
      out += "\\u0000";
      copied = pos + 6;
      pos += 6;
      continue;
    }
    if (is_high_surrogate(unit) && text.substr(pos + 6, 2) == "\\u") {
      pos += 12;  // a pair; the parser checks the low half itself
      continue;
    }
    if (unit && *unit >= 0xDC80 && *unit <= 0xDCFF) {
      out.append(text.substr(copied, pos - copied));
      out += "\\u0000\\u00";
      out.append(text.substr(pos + 4, 2));
      copied = pos + 6;
      replaced = true;
    }
    pos += 6;
  }
  if (!replaced) return std::nullopt;
  out.append(text.substr(copied));
  return out;
}

// Turns NUL + NUL back into NUL and NUL + U+0080..U+00FF (UTF-8 C2/C3 xx) into the byte.
std::string unmark(const std::string& text) {
  if (text.find('\0') == std::string::npos) return text;
  std::string out;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (text[pos] == '\0' && pos + 1 < text.size() && text[pos + 1] == '\0') {
      out.push_back('\0');
      ++pos;
      continue;
    }
    if (text[pos] == '\0' && pos + 2 < text.size() &&
        (static_cast<unsigned char>(text[pos + 1]) & 0xFE) == 0xC2) {
      const auto high = static_cast<unsigned char>(text[pos + 1]) & 0x03;
      const auto low = static_cast<unsigned char>(text[pos + 2]) & 0x3F;
      out.push_back(static_cast<char>((high << 6) | low));
      pos += 2;
      continue;
    }
    out.push_back(text[pos]);
  }
  return out;
}

void unmark_all(Json& value) {
  if (value.is_string()) {
    value = unmark(value.get_ref<const std::string&>());
  } else if (value.is_array()) {
    for (Json& element : value) unmark_all(element);
  } else if (value.is_object()) {
    Json rebuilt = Json::object();
    for (auto it = value.begin(); it != value.end(); ++it) {
      unmark_all(*it);
      rebuilt[unmark(it.key())] = std::move(*it);
    }
    value = std::move(rebuilt);
  }
}

// The parser's description of the problem, without the library's bracketed error code.
std::string parse_error_reason(const std::exception& error) {
  std::string_view message = error.what();
  if (message.starts_with("[json.exception.")) {
    const auto end = message.find("] ");
    if (end != std::string_view::npos) message.remove_prefix(end + 2);
  }
  return std::string(message);
}

}  // namespace

std::optional<unsigned> hex_unit(std::string_view text, std::size_t pos) {
  if (pos + 4 > text.size()) return std::nullopt;
  unsigned unit = 0;
  const auto result = std::from_chars(text.data() + pos, text.data() + pos + 4, unit, 16);
  if (result.ec != std::errc() || result.ptr != text.data() + pos + 4) return std::nullopt;
  return unit;
}

bool nests_deeper_than(std::string_view text, std::size_t limit) {
  std::size_t depth = 0;
  bool in_string = false;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (in_string) {
      if (c == '\\') {
        ++pos;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

Json parse_json(std::string_view text) {
  if (nests_deeper_than(text, MAX_JSON_DEPTH)) {
    throw Error("nested deeper than " + std::to_string(MAX_JSON_DEPTH) + " levels");
  }
  try {
    try {
      return Json::parse(text);
    } catch (const Json::parse_error&) {
      const auto marked = mark_lone_surrogates(text);
      if (!marked) throw;
      Json value = Json::parse(*marked);
      unmark_all(value);
      return value;
    }
  } catch (const Json::exception& error) {
    throw Error(parse_error_reason(error));
  }
}

std::optional<Json> try_parse_json(std::string_view text) {
  try {
    return parse_json(text);
  } catch (const Error&) {
    return std::nullopt;
  }
}

}  // namespace plinthar::text

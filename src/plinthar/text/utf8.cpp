#include "plinthar/text/utf8.hpp"

#include <algorithm>

#include "plinthar/text/byte_finders.hpp"

namespace plinthar::text {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Offset of the first byte at or after `pos` that is not ASCII (or the end).
std::size_t skip_ascii(std::string_view bytes, std::size_t pos) {
  return find_first_byte(bytes, pos, word_bits::non_ascii,
                         [](unsigned char byte) { return byte >= 0x80; });
}

// Appends `bytes` to `out` without the bytes that are not part of a valid sequence.
void append_valid_utf8(std::string_view bytes, std::string& out) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    // Runs of ASCII are the common case; copy them without per-byte checks.
    const std::size_t run = skip_ascii(bytes, pos);
    out.append(bytes.substr(pos, run - pos));
    pos = run;
    if (pos >= bytes.size()) break;
    const std::size_t length = utf8_sequence_length(bytes, pos);
    if (length == 0) {
      ++pos;  // drop this byte; decoding resumes at the next one
      continue;
    }
    out.append(bytes.substr(pos, length));
    pos += length;
  }
}

// Turns "\r\n" and every other "\r" of `text` into "\n", in place (the text only
// shrinks).
void normalise_line_ends(std::string& text) {
  std::size_t from = text.find('\r');
  if (from == std::string::npos) return;
  std::size_t to = from;
  while (from < text.size()) {
    const char c = text[from++];
    if (c != '\r') {
      text[to++] = c;
      continue;
    }
    text[to++] = '\n';
    if (from < text.size() && text[from] == '\n') ++from;
  }
  text.resize(to);
}

}  // namespace

// Follows the well-formed byte ranges of Unicode table 3-7.
std::size_t utf8_sequence_length(std::string_view bytes, std::size_t pos) {
  const auto at = [&](std::size_t i) -> unsigned char {
    return pos + i < bytes.size() ? static_cast<unsigned char>(bytes[pos + i]) : 0;
  };
  const unsigned char lead = at(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char second_low = 0x80;
  unsigned char second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > bytes.size()) return 0;
  if (at(1) < second_low || at(1) > second_high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!is_continuation(at(i))) return 0;
  }
  return length;
}

std::string decode_text(std::string_view bytes) {
  std::string text;
  decode_text(bytes, text);
  return text;
}

void decode_text(std::string_view bytes, std::string& text) {
  text.clear();
  text.reserve(bytes.size());
  append_valid_utf8(bytes, text);
  normalise_line_ends(text);
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    pos = skip_ascii(bytes, pos);
    if (pos >= bytes.size()) break;
    const std::size_t length = utf8_sequence_length(bytes, pos);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

std::string_view valid_utf8(std::string_view bytes, std::string& buffer) {
  if (is_valid_utf8(bytes)) return bytes;
  buffer.clear();
  append_valid_utf8(bytes, buffer);
  return buffer;
}

char32_t next_code_point(std::string_view text, std::size_t& pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  char32_t cp = lead & (0x3F >> (length - 1));
  for (std::size_t i = 1; i < length && pos + i < text.size(); ++i) {
    cp = (cp << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  }
  pos += length;
  return cp;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::size_t cp_length(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return !is_continuation(static_cast<unsigned char>(c));
  }));
}

std::string_view cp_prefix(std::string_view text, std::size_t count) {
  std::size_t pos = 0;
  for (std::size_t seen = 0; pos < text.size(); ++pos) {
    if (is_continuation(static_cast<unsigned char>(text[pos]))) continue;
    if (seen == count) break;
    ++seen;
  }
  return text.substr(0, pos);
}

std::string cp_shortened(std::string_view text, std::size_t most) {
  if (cp_length(text) <= most) return std::string(text);
  if (most == 0) return {};
  return std::string(cp_prefix(text, most - 1)) + "\u2026";
}

}  // namespace plinthar::text

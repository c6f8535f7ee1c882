#include "plinthar/scanner/text.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

#include <unicode/ucasemap.h>
#include <unicode/uchar.h>

namespace plinthar::scanner {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence starting at `pos`, or 0 when the bytes there do
// not form one. Follows the well-formed byte ranges of Unicode table 3-7.
std::size_t valid_sequence_length(std::string_view bytes, std::size_t pos) {
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

// Offset of the first byte at or after `pos` that is not ASCII (or the end), looking
// at eight bytes at a time.
std::size_t skip_ascii(std::string_view bytes, std::size_t pos) {
  constexpr std::uint64_t HIGH = 0x8080808080808080ULL;
  while (pos + 8 <= bytes.size()) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + pos, sizeof word);
    if (word & HIGH) break;
    pos += 8;
  }
  while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) < 0x80) ++pos;
  return pos;
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
    const std::size_t length = valid_sequence_length(bytes, pos);
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

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct CaseMapCloser {
  void operator()(UCaseMap* map) const { ucasemap_close(map); }
};

UCaseMap* root_case_map() {
  static const std::unique_ptr<UCaseMap, CaseMapCloser> map = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCaseMap, CaseMapCloser> created(ucasemap_open("", 0, &status));
    if (U_FAILURE(status)) throw std::runtime_error("cannot open the Unicode case map");
    return created;
  }();
  return map.get();
}

using CaseFunction = int32_t (*)(const UCaseMap*, char*, int32_t, const char*, int32_t,
                                 UErrorCode*);

std::string map_case(std::string_view text, CaseFunction function) {
  std::string out(text.size() + 16, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = function(root_case_map(), out.data(), static_cast<int32_t>(out.size()),
                                    text.data(), static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.assign(static_cast<std::size_t>(length), '\0');
      continue;
    }
    if (U_FAILURE(status)) throw std::runtime_error("Unicode case mapping failed");
    out.resize(static_cast<std::size_t>(length));
    return out;
  }
  throw std::runtime_error("Unicode case mapping failed");
}

}  // namespace

std::size_t utf8_sequence_length(std::string_view bytes, std::size_t pos) {
  return valid_sequence_length(bytes, pos);
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
    const std::size_t length = valid_sequence_length(bytes, pos);
    if (length == 0) return false;
    pos += length;
  }
  return true;
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

std::string to_lower(std::string_view text) {
  if (is_ascii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  return map_case(text, ucasemap_utf8ToLower);
}

std::string to_upper(std::string_view text) {
  if (is_ascii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
  }
  return map_case(text, ucasemap_utf8ToUpper);
}

bool is_space(char32_t cp) {
  if (cp < 0x80) return cp == ' ' || (cp >= 0x09 && cp <= 0x0D) || (cp >= 0x1C && cp <= 0x1F);
  return u_isUWhiteSpace(static_cast<UChar32>(cp));
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

namespace {

// Length of the line boundary that starts at byte `pos`, or 0. Only the bytes 0x0A-0x0D,
// 0x1C-0x1E, 0xC2 (U+0085) and 0xE2 (U+2028, U+2029) can start one.
std::size_t boundary_length(std::string_view text, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte == '\r') return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
  if ((byte >= 0x0A && byte <= 0x0C) || (byte >= 0x1C && byte <= 0x1E)) return 1;
  if (byte == 0xC2) {
    return pos + 1 < text.size() && static_cast<unsigned char>(text[pos + 1]) == 0x85 ? 2 : 0;
  }
  if (byte == 0xE2 && pos + 2 < text.size() && static_cast<unsigned char>(text[pos + 1]) == 0x80) {
    const auto last = static_cast<unsigned char>(text[pos + 2]);
    return last == 0xA8 || last == 0xA9 ? 3 : 0;
  }
  return 0;
}

bool may_start_boundary(unsigned char byte) {
  return (byte >= 0x0A && byte <= 0x0D) || (byte >= 0x1C && byte <= 0x1E) || byte == 0xC2 ||
         byte == 0xE2;
}

// Offset of the first byte at or after `pos` that may start a boundary (or the end).
// Every such byte is a control character or not ASCII, so eight bytes at a time are
// passed over while none of them is either.
std::size_t next_boundary_candidate(std::string_view text, std::size_t pos) {
  constexpr std::uint64_t ONES = 0x0101010101010101ULL;
  constexpr std::uint64_t HIGH = 0x8080808080808080ULL;
  for (; pos < text.size(); ++pos) {
    while (pos + 8 <= text.size()) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + pos, sizeof word);
      // A byte of 0x80 or above, or below 0x20, sets a high bit here (a borrow may set
      // one more, which only ends the fast stretch early).
      if (((word - 0x20 * ONES) | word) & HIGH) break;
      pos += 8;
    }
    if (pos < text.size() && may_start_boundary(static_cast<unsigned char>(text[pos]))) break;
  }
  return std::min(pos, text.size());
}

// The lines of `text` in order, at most `max_lines` of them.
std::vector<std::string_view> split_lines_upto(std::string_view text, std::size_t max_lines) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t pos = 0;
  while (lines.size() < max_lines) {
    pos = next_boundary_candidate(text, pos);
    if (pos >= text.size()) break;
    const std::size_t length = boundary_length(text, pos);
    if (length == 0) {
      ++pos;
      continue;
    }
    lines.push_back(text.substr(start, pos - start));
    pos += length;
    start = pos;
  }
  if (start < text.size() && lines.size() < max_lines) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

std::vector<std::string_view> split_lines(std::string_view text) {
  return split_lines_upto(text, std::numeric_limits<std::size_t>::max());
}

std::vector<std::string_view> first_lines(std::string_view text, std::size_t count) {
  return split_lines_upto(text, count);
}

LineIndex::LineIndex(std::string_view text) {
  starts_.push_back(0);
  for (std::size_t pos = text.find('\n'); pos != std::string_view::npos;
       pos = text.find('\n', pos + 1)) {
    starts_.push_back(pos + 1);
  }
}

std::size_t LineIndex::line_of(std::size_t offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<std::size_t>(after - starts_.begin()) - 1;
}

}  // namespace plinthar::scanner

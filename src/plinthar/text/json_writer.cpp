#include "plinthar/text/json_writer.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>

#include "plinthar/text/byte_finders.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/utf8.hpp"

namespace plinthar::text {
namespace {

void write_escaped_code_point(char32_t cp, std::string& out) {
  if (const std::string_view escape = short_escape(cp, ShortEscapes::json); !escape.empty()) {
    out += escape;
  } else if (cp >= 0x20 && cp <= 0x7E) {
    out.push_back(static_cast<char>(cp));
  } else if (cp > 0xFFFF) {
    const char32_t offset = cp - 0x10000;
    append_unicode_escape(0xD800 + (offset >> 10), out);
    append_unicode_escape(0xDC00 + (offset & 0x3FF), out);
  } else {
    append_unicode_escape(static_cast<unsigned>(cp), out);
  }
}

bool is_plain_json_char(unsigned char byte) {
  return byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\';
}

// Whether eight bytes may hold one that is not a plain character: a control character,
// DEL (0x7F + 1 carries into the high bit), a byte beyond ASCII, a quote or a backslash.
bool may_hold_special(std::uint64_t word) {
  using namespace word_bits;
  return (control_or_non_ascii(word) | ((word + ONES) & HIGH) | equal_to(word, '"') |
          equal_to(word, '\\')) != 0;
}

// Offset of the first byte at or after `pos` that is not a plain character (or the end).
std::size_t skip_plain(std::string_view text, std::size_t pos) {
  return find_first_byte(text, pos, may_hold_special,
                         [](unsigned char byte) { return !is_plain_json_char(byte); });
}

void write_indent(std::size_t depth, std::string& out) { out.append(2 * depth, ' '); }

template <typename Integer>
void write_integer(Integer value, std::string& out) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void write_scalar(const Json& value, std::string& out) {
  switch (value.type()) {
    case Json::value_t::string:
      write_json_string(value.get_ref<const std::string&>(), out);
      break;
    case Json::value_t::boolean:
      out += value.get<bool>() ? "true" : "false";
      break;
    case Json::value_t::number_integer:
      write_integer(value.get<std::int64_t>(), out);
      break;
    case Json::value_t::number_unsigned:
      write_integer(value.get<std::uint64_t>(), out);
      break;
    case Json::value_t::number_float:
      write_json_float(value.get<double>(), out);
      break;
    default:
      out += "null";
      break;
  }
}

// Hands the text written so far to a sink once it has grown past a chunk.
struct ChunkFlusher {
  const TextSink& emit;
  std::size_t chunk_bytes;

  void maybe_flush(std::string& out) const {
    if (out.size() < chunk_bytes) return;
    emit(out);
    out.clear();
  }
};

void write_pretty_at(const Json& value, std::size_t depth, std::string& out,
                     const ChunkFlusher* flusher = nullptr) {
  if (value.is_object() || value.is_array()) {
    const bool is_object = value.is_object();
    if (value.empty()) {
      out += is_object ? "{}" : "[]";
      return;
    }
    out += is_object ? "{\n" : "[\n";
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (!first) out += ",\n";
      first = false;
      write_indent(depth + 1, out);
      if (is_object) {
        write_json_string(it.key(), out);
        out += ": ";
      }
      write_pretty_at(*it, depth + 1, out, flusher);
      if (flusher != nullptr) flusher->maybe_flush(out);
    }
    out.push_back('\n');
    write_indent(depth, out);
    out.push_back(is_object ? '}' : ']');
    return;
  }
  write_scalar(value, out);
}

}  // namespace

void write_json_string(std::string_view text, std::string& out) {
  out.push_back('"');
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Copy the run of characters that need no escape in one go.
    const std::size_t run = skip_plain(text, pos);
    out.append(text.substr(pos, run - pos));
    pos = run;
    if (pos >= text.size()) break;
    const auto byte = static_cast<unsigned char>(text[pos]);
    const std::size_t length = byte < 0x80 ? 1 : utf8_sequence_length(text, pos);
    if (length == 0) {
      append_unicode_escape(0xDC00 + byte, out);
      ++pos;
      continue;
    }
    write_escaped_code_point(next_code_point(text, pos), out);
  }
  out.push_back('"');
}

void write_json_float(double value, std::string& out) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value > 0 ? "Infinity" : "-Infinity";
    return;
  }
  // Shortest round-trip digits in scientific form, then laid out as fixed notation for
  // decimal exponents -4..15 and as d.ddde+XX otherwise.
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  const std::size_t e_pos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e_pos)) {
    if (c != '.') digits.push_back(c);
  }
  int exponent = 0;
  std::from_chars(sci.data() + e_pos + 1 + (sci[e_pos + 1] == '+'), sci.data() + sci.size(),
                  exponent);
  if (negative) out.push_back('-');
  if (exponent >= -4 && exponent < 16) {
    if (exponent < 0) {
      out += "0.";
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else if (static_cast<std::size_t>(exponent) + 1 >= digits.size()) {
      out += digits;
      out.append(static_cast<std::size_t>(exponent) + 1 - digits.size(), '0');
      out += ".0";
    } else {
      out += digits.substr(0, static_cast<std::size_t>(exponent) + 1);
      out.push_back('.');
      out += digits.substr(static_cast<std::size_t>(exponent) + 1);
    }
    return;
  }
  out.push_back(digits[0]);
  if (digits.size() > 1) {
    out.push_back('.');
    out += digits.substr(1);
  }
  out.push_back('e');
  out.push_back(exponent < 0 ? '-' : '+');
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) out.push_back('0');
  out += std::to_string(magnitude);
}

void write_pretty(const Json& value, std::string& out) { write_pretty_at(value, 0, out); }

void write_pretty_nested(const Json& value, std::size_t depth, std::string& out) {
  write_pretty_at(value, depth, out);
}

std::string to_pretty(const Json& value) {
  std::string out;
  write_pretty(value, out);
  return out;
}

void write_pretty(const Json& value, std::ostream& out) { out << to_pretty(value); }

void write_pretty(const Json& value, const TextSink& emit, std::size_t chunk_bytes) {
  std::string out;
  out.reserve(chunk_bytes + chunk_bytes / 4);
  const ChunkFlusher flusher{emit, chunk_bytes};
  write_pretty_at(value, 0, out, &flusher);
  if (!out.empty()) emit(out);
}

void write_compact(const Json& value, std::string& out) {
  if (value.is_object() || value.is_array()) {
    const bool is_object = value.is_object();
    out.push_back(is_object ? '{' : '[');
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (!first) out += ", ";
      first = false;
      if (is_object) {
        write_json_string(it.key(), out);
        out += ": ";
      }
      write_compact(*it, out);
    }
    out.push_back(is_object ? '}' : ']');
    return;
  }
  write_scalar(value, out);
}

std::string to_compact(const Json& value) {
  std::string out;
  write_compact(value, out);
  return out;
}

}  // namespace plinthar::text

#include "plinthar/scanner/extract/keyword_prechecks.hpp"

#include <array>
#include <cstddef>
#include <cstring>

#include "plinthar/text/ascii.hpp"

namespace plinthar::scanner {

namespace {

unsigned char byte_at(std::string_view text, std::size_t pos) {
  return static_cast<unsigned char>(text[pos]);
}

// Position after the ASCII white space starting at `pos`.
std::size_t skip_space(std::string_view text, std::size_t pos) {
  while (pos < text.size() && text::is_ascii_pattern_space(byte_at(text, pos))) ++pos;
  return pos;
}

// Number of bytes before `end` left once ASCII white space right before it is skipped.
std::size_t skip_space_back(std::string_view text, std::size_t end) {
  while (end > 0 && text::is_ascii_pattern_space(byte_at(text, end - 1))) --end;
  return end;
}

// How the bytes at `pos` compare with the lower-case ASCII `word`, ignoring case.
enum class WordAt { no, yes, unsure };

WordAt word_at(std::string_view text, std::size_t pos, std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (pos + i >= text.size()) return WordAt::no;
    const unsigned char c = byte_at(text, pos + i);
    if (c >= 0x80) return WordAt::unsure;
    if (text::ascii_lower(c) != word[i]) return WordAt::no;
  }
  return WordAt::yes;
}

// The same for the bytes that end just before `end`.
WordAt word_before(std::string_view text, std::size_t end, std::string_view word) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (i >= end) return WordAt::no;
    const unsigned char c = byte_at(text, end - 1 - i);
    if (c >= 0x80) return WordAt::unsure;
    if (text::ascii_lower(c) != word[word.size() - 1 - i]) return WordAt::no;
  }
  return WordAt::yes;
}

// Whether the byte at `pos`, after white space, may be one of `wanted`.
bool may_be_at(std::string_view text, std::size_t pos, std::string_view wanted) {
  pos = skip_space(text, pos);
  if (pos >= text.size()) return false;
  const unsigned char c = byte_at(text, pos);
  return c >= 0x80 || wanted.find(static_cast<char>(c)) != std::string_view::npos;
}

constexpr std::array<std::string_view, 7> ROUTE_METHODS = {"get",   "post",       "put",   "delete",
                                                           "patch", "handlefunc", "handle"};

// Around a "." or "@" at `mark`: a receiver ending in "app", "router", "r", "mux" or
// "api" before it, then a method name and "(" after it.
bool may_register_at(std::string_view text, std::size_t mark) {
  const std::size_t before = skip_space_back(text, mark);
  if (before == 0) return false;
  const unsigned char last = byte_at(text, before - 1);
  if (last < 0x80 && std::strchr("prxi", text::ascii_lower(last)) == nullptr) return false;
  const std::size_t name = skip_space(text, mark + 1);
  for (std::string_view method : ROUTE_METHODS) {
    const WordAt found = word_at(text, name, method);
    if (found == WordAt::unsure) return true;
    if (found == WordAt::yes && may_be_at(text, name + method.size(), "(")) return true;
  }
  return false;
}

constexpr std::array<std::string_view, 4> HTTP_METHODS = {"get", "post", "put", "delete"};

// Before a "(" at `paren`: "fetch", or a method name after "."; after it a quote.
bool may_call_at(std::string_view text, std::size_t paren) {
  if (!may_be_at(text, paren + 1, "`'\"")) return false;
  const std::size_t end = skip_space_back(text, paren);
  if (word_before(text, end, "fetch") != WordAt::no) return true;
  for (std::string_view method : HTTP_METHODS) {
    const WordAt found = word_before(text, end, method);
    if (found == WordAt::unsure) return true;
    if (found == WordAt::yes && end > method.size() && text[end - method.size() - 1] == '.') {
      return true;
    }
  }
  return false;
}

// Whether `test` holds at some occurrence of `mark`.
template <typename Test>
bool any_at(std::string_view text, char mark, Test test) {
  for (std::size_t pos = text.find(mark); pos != std::string_view::npos;
       pos = text.find(mark, pos + 1)) {
    if (test(text, pos)) return true;
  }
  return false;
}

}  // namespace

bool may_register_route(std::string_view text) {
  return any_at(text, '.', may_register_at) || any_at(text, '@', may_register_at);
}

bool may_call_http(std::string_view text) { return any_at(text, '(', may_call_at); }

}  // namespace plinthar::scanner

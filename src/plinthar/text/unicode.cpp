#include "plinthar/text/unicode.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>

#include <unicode/ucasemap.h>
#include <unicode/uchar.h>

#include "plinthar/error.hpp"
#include "plinthar/text/ascii.hpp"

namespace plinthar::text {
namespace {

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct CaseMapCloser {
  void operator()(UCaseMap* map) const { ucasemap_close(map); }
};

// One case map for every thread: lower- and upper-casing only read it (they take it const;
// only titlecasing, never used here, changes one), and u_isU* read constant tables.
UCaseMap* root_case_map() {
  static const std::unique_ptr<UCaseMap, CaseMapCloser> map = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCaseMap, CaseMapCloser> created(ucasemap_open("", 0, &status));
    if (U_FAILURE(status)) throw Error("cannot open the Unicode case map");
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
    if (U_FAILURE(status)) throw Error("Unicode case mapping failed");
    out.resize(static_cast<std::size_t>(length));
    return out;
  }
  throw Error("Unicode case mapping failed");
}

}  // namespace

std::string to_lower(std::string_view text) {
  if (!is_ascii(text)) return map_case(text, ucasemap_utf8ToLower);
  std::string out(text);
  lower_ascii_in_place(out);
  return out;
}

std::string to_upper(std::string_view text) {
  if (!is_ascii(text)) return map_case(text, ucasemap_utf8ToUpper);
  std::string out(text);
  for (char& c : out) {
    if (is_ascii_lower(static_cast<unsigned char>(c))) c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string_view lowered(std::string_view text, std::string& buffer) {
  const auto needs_work = [](char c) {
    return is_ascii_upper(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80;
  };
  const auto first = std::find_if(text.begin(), text.end(), needs_work);
  if (first == text.end()) return text;
  if (!is_ascii(std::string_view(first, text.end()))) {
    buffer = map_case(text, ucasemap_utf8ToLower);
    return buffer;
  }
  buffer.assign(text);
  lower_ascii_in_place(buffer);
  return buffer;
}

bool is_uppercase(char32_t cp) { return u_isUUppercase(static_cast<UChar32>(cp)); }

bool is_unicode_white_space(char32_t cp) { return u_isUWhiteSpace(static_cast<UChar32>(cp)); }

}  // namespace plinthar::text

#include "plinthar/query/lowering.hpp"

#include <algorithm>

#include "plinthar/scanner/text.hpp"

namespace plinthar::query {

std::string_view lowered(std::string_view text, std::string& buffer) {
  const auto needs_work = [](char c) {
    return (c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80;
  };
  const auto first = std::find_if(text.begin(), text.end(), needs_work);
  if (first == text.end()) return text;
  const bool ascii =
      std::none_of(first, text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (!ascii) {
    buffer = scanner::to_lower(text);
    return buffer;
  }
  buffer.assign(text);
  for (char& c : buffer) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return buffer;
}

}  // namespace plinthar::query

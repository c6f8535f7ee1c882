#pragma once

// The one writer of the index's binary layouts: fixed-width values in the machine's own
// byte order and widths (an index is refused on a machine of another kind), texts with
// their length in front, varints, and padding that starts the next array at a multiple
// of 8 bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace plinthar::index {

// `size` rounded up to a multiple of 8.
constexpr std::uint64_t padded_to_8(std::uint64_t size) { return (size + 7) / 8 * 8; }

class ByteWriter {
 public:
  template <typename T>
  void put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    out_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  // The values one after the other, then padding.
  template <typename T>
  void put_array(const std::vector<T>& values) {
    static_assert(std::is_trivially_copyable_v<T>);
    out_.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    pad_to_8();
  }
  void put_bytes(std::string_view bytes) { out_.append(bytes); }
  // The length as 32 bits, then the bytes.
  void put_text(std::string_view text) {
    put(static_cast<std::uint32_t>(text.size()));
    out_.append(text);
  }
  // Seven bits a byte, lowest first, the high bit set on every byte but the last.
  void put_varint(std::uint64_t value) {
    while (value >= 0x80) {
      out_.push_back(static_cast<char>((value & 0x7F) | 0x80));
      value >>= 7;
    }
    out_.push_back(static_cast<char>(value));
  }
  void pad_to_8() { out_.resize(padded_to_8(out_.size()), '\0'); }
  void reserve(std::size_t size) { out_.reserve(size); }

  std::size_t size() const { return out_.size(); }
  std::string_view bytes() const { return out_; }
  std::string take() && { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace plinthar::index

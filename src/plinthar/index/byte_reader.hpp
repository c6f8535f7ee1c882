#pragma once

// Reading what ByteWriter wrote, checked as it is read: a reader never reads past the
// bytes it was given, and says so instead.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <type_traits>

namespace plinthar::index {

// The value of type T at `offset` of `bytes`, which need not be aligned for T; the caller
// has checked that it lies inside.
template <typename T>
T value_at(std::string_view bytes, std::size_t offset) {
  static_assert(std::is_trivially_copyable_v<T>);
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// Values of type T packed in bytes that need not be aligned for T, read where they lie.
template <typename T>
class PackedArray {
 public:
  PackedArray() = default;
  PackedArray(const char* data, std::size_t count) : data_(data), count_(count) {}

  T operator[](std::size_t i) const {
    T value;
    std::memcpy(&value, data_ + i * sizeof(T), sizeof(T));
    return value;
  }
  std::size_t size() const { return count_; }
  PackedArray sub(std::size_t start, std::size_t count) const {
    return PackedArray(data_ + start * sizeof(T), count);
  }

 private:
  const char* data_ = nullptr;
  std::size_t count_ = 0;
};

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  template <typename T>
  bool get(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (bytes_.size() < sizeof value) return false;
    std::memcpy(&value, bytes_.data(), sizeof value);
    bytes_.remove_prefix(sizeof value);
    return true;
  }
  // A text written by ByteWriter::put_text, viewed in the bytes.
  bool get_text(std::string_view& text) {
    std::uint32_t size = 0;
    if (!get(size) || bytes_.size() < size) return false;
    text = bytes_.substr(0, size);
    bytes_.remove_prefix(size);
    return true;
  }
  bool get_varint(std::uint64_t& value) {
    value = 0;
    for (unsigned shift = 0; shift < 64 && !bytes_.empty(); shift += 7) {
      const auto byte = static_cast<unsigned char>(bytes_.front());
      bytes_.remove_prefix(1);
      value |= std::uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80u) == 0) return true;
    }
    return false;
  }
  // A varint that must fit in 32 bits.
  bool get_varint32(std::uint32_t& value) {
    std::uint64_t wide = 0;
    if (!get_varint(wide) || wide > 0xFFFFFFFFu) return false;
    value = static_cast<std::uint32_t>(wide);
    return true;
  }
  bool done() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

}  // namespace plinthar::index

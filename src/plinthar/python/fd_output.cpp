#include "plinthar/python/fd_output.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace plinthar::python {

FdOutputBuffer::FdOutputBuffer(int fd, std::size_t capacity) : fd_(fd), buffer_(capacity) {
  setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdOutputBuffer::~FdOutputBuffer() { write_gathered(); }

FdOutputBuffer::int_type FdOutputBuffer::overflow(int_type ch) {
  if (!write_gathered()) return traits_type::eof();
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  const char byte = traits_type::to_char_type(ch);
  if (buffer_.empty()) return write_all(&byte, 1) ? ch : traits_type::eof();
  *pptr() = byte;
  pbump(1);
  return ch;
}

std::streamsize FdOutputBuffer::xsputn(const char* data, std::streamsize size) {
  const auto length = static_cast<std::size_t>(size);
  if (length < static_cast<std::size_t>(epptr() - pptr())) {
    std::memcpy(pptr(), data, length);
    pbump(static_cast<int>(length));
    return size;
  }
  if (!write_gathered()) return 0;
  if (length >= buffer_.size()) return write_all(data, length) ? size : 0;
  std::memcpy(pptr(), data, length);
  pbump(static_cast<int>(length));
  return size;
}

int FdOutputBuffer::sync() { return write_gathered() ? 0 : -1; }

bool FdOutputBuffer::write_gathered() {
  const auto gathered = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  return gathered == 0 || write_all(buffer_.data(), gathered);
}

bool FdOutputBuffer::write_all(const char* data, std::size_t size) const {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;  // a signal the interpreter handles later
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace plinthar::python

#pragma once

// Output straight to a file descriptor of the process. The programs run inside an
// interpreter write their standard output and error through these, past the
// interpreter's own buffered streams, so that what reaches descriptors 1 and 2 is what
// the executables write there.

#include <cstddef>
#include <streambuf>
#include <vector>

namespace plinthar::python {

// A stream buffer writing to `fd`, which it neither owns nor closes. With a capacity it
// gathers that many bytes before writing, as the executables' standard output does;
// without one every write goes out at once, as standard error does. Whatever is
// gathered is written on flush and on destruction.
class FdOutputBuffer : public std::streambuf {
 public:
  FdOutputBuffer(int fd, std::size_t capacity);
  ~FdOutputBuffer() override;
  FdOutputBuffer(const FdOutputBuffer&) = delete;
  FdOutputBuffer& operator=(const FdOutputBuffer&) = delete;

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* data, std::streamsize size) override;
  int sync() override;

 private:
  bool write_gathered();
  bool write_all(const char* data, std::size_t size) const;

  int fd_;
  std::vector<char> buffer_;
};

}  // namespace plinthar::python

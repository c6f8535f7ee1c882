#include "plinthar/scanner/file_io.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/scanner/error.hpp"

namespace plinthar::scanner {
namespace fs = std::filesystem;
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

mode_t default_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

[[noreturn]] void fail_writing(const fs::path& path, int error_number) {
  throw Error("cannot write " + path.string() + ": " + std::strerror(error_number));
}

}  // namespace

std::optional<std::string> read_file(const fs::path& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
  std::string content;
  content.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (count == 0) break;
    content.append(buffer, static_cast<std::size_t>(count));
  }
  return content;
}

void write_file_atomically(const fs::path& path, std::string_view content) {
  std::string temp = path.string() + ".tmp.XXXXXX";
  FileDescriptor fd(::mkstemp(temp.data()));
  if (fd.get() < 0) fail_writing(path, errno);
  const bool written = ::fchmod(fd.get(), default_file_mode()) == 0 && write_all(fd.get(), content);
  const int write_error = errno;
  if (!written || !fd.close()) {
    const int error_number = written ? errno : write_error;
    ::unlink(temp.c_str());
    fail_writing(path, error_number);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error_number = errno;
    ::unlink(temp.c_str());
    fail_writing(path, error_number);
  }
}

void create_parent_directories(const fs::path& file) {
  const fs::path parent = file.parent_path();
  if (parent.empty()) return;
  std::error_code error;
  fs::create_directories(parent, error);
  if (error) {
    throw Error("cannot create directory " + parent.string() + ": " + error.message());
  }
}

}  // namespace plinthar::scanner

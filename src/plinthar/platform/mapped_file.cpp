#include "plinthar/platform/mapped_file.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/error.hpp"

namespace plinthar::platform {
namespace {

// Closes a file descriptor at the end of a scope.
struct OpenFile {
  int fd;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
};

// Reads up to `size` bytes into `data`; the count read, or nothing on an error.
std::optional<std::size_t> read_up_to(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = ::read(fd, data + done, size - done);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return std::nullopt;
    if (count == 0) break;
    done += static_cast<std::size_t>(count);
  }
  return done;
}

// Reads the rest of `fd`: the stated size is only a guess for files that change or are
// not regular, so reading goes on to the end.
std::optional<std::string> read_rest(int fd, std::size_t size_guess) {
  std::string bytes(size_guess, '\0');
  const auto head = read_up_to(fd, bytes.data(), bytes.size());
  if (!head) return std::nullopt;
  bytes.resize(*head);
  if (*head < size_guess) return bytes;
  char chunk[65536];
  for (;;) {
    const auto count = read_up_to(fd, chunk, sizeof chunk);
    if (!count) return std::nullopt;
    if (*count == 0) return bytes;
    bytes.append(chunk, *count);
  }
}

std::size_t round_up(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

std::size_t page_size() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

// Maps `size` bytes of `fd` followed by at least `padding` zero bytes: an anonymous
// read-only reservation of the whole span with the file mapped over its start. The
// returned span size is what to unmap; nothing when either mapping fails.
std::optional<std::pair<void*, std::size_t>> map_padded(int fd, std::size_t size,
                                                        std::size_t padding) {
  const std::size_t span = round_up(size, page_size()) + round_up(padding, page_size());
  void* reserved = ::mmap(nullptr, span, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (reserved == MAP_FAILED) return std::nullopt;
  // Every page is read, so all are mapped at once rather than one fault at a time.
  if (::mmap(reserved, size, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0) ==
      MAP_FAILED) {
    ::munmap(reserved, span);
    return std::nullopt;
  }
  return std::pair{reserved, span};
}

// Whether `size` bytes and the padding can be counted in a size_t, compared in 64 bits:
// a 32-bit system cannot hold files of 4 GiB and more at all.
bool fits_in_address_space(off_t size, std::size_t padding) {
  return static_cast<std::uint64_t>(size) <=
         SIZE_MAX - round_up(padding, page_size()) - page_size();
}

[[noreturn]] void refuse_as_too_large(const std::filesystem::path& path, off_t size) {
  throw Error("cannot read " + path.string() + ": " + std::to_string(size) +
              " bytes do not fit in the address space of this system");
}

}  // namespace

std::optional<PaddedFile> PaddedFile::read(const std::filesystem::path& path, std::size_t padding) {
  const OpenFile file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) return std::nullopt;
  return read(file.fd, padding, path);
}

std::optional<PaddedFile> PaddedFile::read(int fd, std::size_t padding,
                                           const std::filesystem::path& name) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
  PaddedFile padded;
  if (!fits_in_address_space(status.st_size, padding)) refuse_as_too_large(name, status.st_size);
  const auto stated_size = static_cast<std::size_t>(status.st_size);
  if (S_ISREG(status.st_mode) && stated_size > 0) {
    if (const auto mapped = map_padded(fd, stated_size, padding)) {
      padded.mapping_ = mapped->first;
      padded.mapping_size_ = mapped->second;
      padded.size_ = stated_size;
      padded.readable_ = mapped->second;
      return padded;
    }
    // With no room to map the file, a copy in memory would need as much room again.
    if (errno == ENOMEM) refuse_as_too_large(name, status.st_size);
  }
  const auto bytes = read_rest(fd, stated_size);
  if (!bytes) return std::nullopt;
  padded.size_ = bytes->size();
  padded.readable_ = bytes->size() + padding;
  padded.copy_ = std::make_unique<char[]>(padded.readable_);  // zero-filled
  std::memcpy(padded.copy_.get(), bytes->data(), bytes->size());
  return padded;
}

PaddedFile::PaddedFile(PaddedFile&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      mapping_size_(std::exchange(other.mapping_size_, 0)),
      copy_(std::move(other.copy_)),
      size_(std::exchange(other.size_, 0)),
      readable_(std::exchange(other.readable_, 0)),
      released_(std::exchange(other.released_, 0)) {}

PaddedFile& PaddedFile::operator=(PaddedFile&& other) noexcept {
  if (this != &other) {
    unmap();
    mapping_ = std::exchange(other.mapping_, nullptr);
    mapping_size_ = std::exchange(other.mapping_size_, 0);
    copy_ = std::move(other.copy_);
    size_ = std::exchange(other.size_, 0);
    readable_ = std::exchange(other.readable_, 0);
    released_ = std::exchange(other.released_, 0);
  }
  return *this;
}

PaddedFile::~PaddedFile() { unmap(); }

void PaddedFile::unmap() noexcept {
  if (mapping_ != nullptr) ::munmap(mapping_, mapping_size_);
  mapping_ = nullptr;
}

const char* PaddedFile::data() const {
  return mapping_ != nullptr ? static_cast<const char*>(mapping_) : copy_.get();
}

void PaddedFile::release_before(const char* point) const {
  // Each release is a system call; give back pages in batches.
  constexpr std::size_t BATCH = std::size_t{8} << 20;
  if (mapping_ == nullptr) return;
  const auto* base = static_cast<const char*>(mapping_);
  const std::size_t end = static_cast<std::size_t>(point - base) / page_size() * page_size();
  if (end < released_ + BATCH) return;
  ::madvise(mapping_, end, MADV_DONTNEED);
  released_ = end;
}

}  // namespace plinthar::platform

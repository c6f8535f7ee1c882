#include "plinthar/query/graph_file_text.hpp"

#include <cerrno>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/scanner/file_io.hpp"

namespace plinthar::query {
namespace {

using scanner::FileDescriptor;

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

// Reads the rest of `fd` into a padded copy.
std::optional<simdjson::padded_string> read_padded(const FileDescriptor& fd,
                                                   const struct stat& status) {
  // The stated size is only a guess for files that change or are not regular: read to
  // the end, and copy once more only when the guess was wrong.
  simdjson::padded_string buffer(static_cast<std::size_t>(status.st_size));
  const auto head = read_up_to(fd.get(), buffer.data(), buffer.size());
  if (!head) return std::nullopt;
  std::string rest;
  char chunk[65536];
  for (;;) {
    const auto count = read_up_to(fd.get(), chunk, sizeof chunk);
    if (!count) return std::nullopt;
    if (*count == 0) break;
    rest.append(chunk, *count);
  }
  if (*head == buffer.size() && rest.empty()) return buffer;
  std::string whole(buffer.data(), *head);
  whole += rest;
  return simdjson::padded_string(whole);
}

std::size_t round_up(std::size_t size, std::size_t unit) { return (size + unit - 1) / unit * unit; }

// Maps `size` bytes of `fd` followed by at least SIMDJSON_PADDING zero bytes: an anonymous
// read-only reservation of the whole span with the file mapped over its start. The
// returned span size is what to unmap; nothing when either mapping fails.
std::optional<std::pair<void*, std::size_t>> map_padded(const FileDescriptor& fd,
                                                        std::size_t size) {
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t span = round_up(size, page) + round_up(simdjson::SIMDJSON_PADDING, page);
  void* reserved = ::mmap(nullptr, span, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (reserved == MAP_FAILED) return std::nullopt;
  // Every page is read, so all are mapped at once rather than one fault at a time.
  if (::mmap(reserved, size, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd.get(), 0) ==
      MAP_FAILED) {
    ::munmap(reserved, span);
    return std::nullopt;
  }
  return std::pair{reserved, span};
}

}  // namespace

std::optional<GraphFileText> GraphFileText::read(const std::filesystem::path& path) {
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
  GraphFileText text;
  if (S_ISREG(status.st_mode) && status.st_size > 0) {
    if (const auto mapped = map_padded(fd, static_cast<std::size_t>(status.st_size))) {
      text.mapping_ = mapped->first;
      text.mapping_size_ = mapped->second;
      text.size_ = static_cast<std::size_t>(status.st_size);
      return text;
    }
  }
  auto copy = read_padded(fd, status);
  if (!copy) return std::nullopt;
  text.size_ = copy->size();
  text.copy_ = std::move(*copy);
  return text;
}

GraphFileText::GraphFileText(GraphFileText&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      mapping_size_(std::exchange(other.mapping_size_, 0)),
      size_(std::exchange(other.size_, 0)),
      released_(std::exchange(other.released_, 0)),
      copy_(std::move(other.copy_)) {}

GraphFileText& GraphFileText::operator=(GraphFileText&& other) noexcept {
  if (this != &other) {
    unmap();
    mapping_ = std::exchange(other.mapping_, nullptr);
    mapping_size_ = std::exchange(other.mapping_size_, 0);
    size_ = std::exchange(other.size_, 0);
    released_ = std::exchange(other.released_, 0);
    copy_ = std::move(other.copy_);
  }
  return *this;
}

GraphFileText::~GraphFileText() { unmap(); }

void GraphFileText::unmap() noexcept {
  if (mapping_ != nullptr) ::munmap(mapping_, mapping_size_);
  mapping_ = nullptr;
}

void GraphFileText::release_before(const char* point) const {
  // Each release is a system call; give back pages in batches.
  constexpr std::size_t BATCH = std::size_t{8} << 20;
  if (mapping_ == nullptr) return;
  const auto* base = static_cast<const char*>(mapping_);
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t end = static_cast<std::size_t>(point - base) / page * page;
  if (end < released_ + BATCH) return;
  ::madvise(mapping_, end, MADV_DONTNEED);
  released_ = end;
}

simdjson::padded_string_view GraphFileText::view() const {
  if (mapping_ != nullptr) {
    return simdjson::padded_string_view(static_cast<const char*>(mapping_), size_, mapping_size_);
  }
  return simdjson::padded_string_view(copy_.data(), size_, size_ + simdjson::SIMDJSON_PADDING);
}

}  // namespace plinthar::query

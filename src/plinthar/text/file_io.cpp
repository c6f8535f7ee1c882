#include "plinthar/text/file_io.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "plinthar/error.hpp"

namespace plinthar::text {
namespace fs = std::filesystem;
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

namespace {

mode_t default_file_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

[[noreturn]] void fail_writing(const fs::path& path, int error_number) {
  throw Error("cannot write " + path.string() + ": " + std::strerror(error_number));
}

}  // namespace

namespace {

// Reads the rest of an open regular file into `content`, which is sized to the expected
// size plus one byte up front so that a file of the expected size is read straight into
// place. A regular file only ever reads short at its end, so a short read ends the loop
// without another call to see the end. Reading stops once more than `limit` bytes are
// in, whatever size the file claimed. False on a read error.
bool read_all(int fd, std::size_t expected_size, std::string& content,
              std::size_t limit = std::string::npos) {
  std::size_t filled = 0;
  const std::size_t most = limit == std::string::npos ? limit : limit + 1;
  content.resize(std::min(expected_size, most - 1) + 1);
  for (;;) {
    if (filled == content.size()) {
      if (filled >= most) break;
      content.resize(std::min(2 * content.size(), most));
    }
    const std::size_t wanted = content.size() - filled;
    const ssize_t count = ::read(fd, content.data() + filled, wanted);
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
    if (static_cast<std::size_t>(count) < wanted) break;
  }
  content.resize(filled);
  return true;
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileDescriptor::close() {
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

bool read_exactly_at(int fd, char* data, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t count = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

int open_flags(Links links) { return links == Links::not_followed ? O_NOFOLLOW : 0; }

std::string open_error_text(int error_number) {
  if (error_number == ELOOP) return "it is a symbolic link, which crv does not follow there";
  return std::strerror(error_number);
}

WholeFile read_whole_file(const fs::path& path, Links links) {
  WholeFile file;
  // O_NONBLOCK keeps a FIFO without a writer from blocking the open.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | open_flags(links)));
  struct stat status {};
  if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0) {
    file.error = errno;
    // A link loop reads as nothing there; a link not followed is an error.
    const bool missing = file.error == ENOENT || file.error == ENOTDIR ||
                         (file.error == ELOOP && links == Links::followed);
    file.outcome = missing ? FileRead::missing : FileRead::failed;
    return file;
  }
  if (!S_ISREG(status.st_mode)) {
    file.outcome = S_ISDIR(status.st_mode) ? FileRead::directory : FileRead::not_regular;
    return file;
  }
  // Compared in 64 bits: a 32-bit system cannot hold files of 2 GiB and more in a string.
  if (static_cast<std::uint64_t>(status.st_size) >= std::string().max_size()) {
    throw Error("cannot read " + path.string() + ": " + std::to_string(status.st_size) +
                " bytes do not fit in the address space of this system");
  }
  if (!read_all(fd.get(), static_cast<std::size_t>(status.st_size), file.bytes)) {
    file.error = errno;
    file.bytes.clear();
    return file;
  }
  file.outcome = FileRead::read;
  return file;
}

std::string read_failure(const fs::path& path, const WholeFile& file) {
  switch (file.outcome) {
    case FileRead::directory:
      return "cannot read " + path.string() + ": it is a directory";
    case FileRead::not_regular:
      return "cannot read " + path.string() + ": not a regular file";
    case FileRead::missing:
    case FileRead::failed:
      return "cannot read " + path.string() + ": " + open_error_text(file.error);
    case FileRead::read:
      break;
  }
  return "";
}

std::optional<std::string> read_file(const fs::path& path) {
  WholeFile file = read_whole_file(path);
  if (file.outcome != FileRead::read) return std::nullopt;
  return std::move(file.bytes);
}

bool on_pseudo_file_system(int fd) {
  struct statfs system {};
  if (::fstatfs(fd, &system) != 0) return true;  // unknown: not worth the risk
  switch (static_cast<unsigned long>(system.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case EFIVARFS_MAGIC:
    case PSTOREFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

std::optional<std::int64_t> read_small_file(const fs::path& path, std::int64_t max_bytes,
                                            std::string& bytes) {
  // O_NONBLOCK keeps a FIFO put in place of a file from blocking the open.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  if (status.st_size > max_bytes) return std::nullopt;
  if (on_pseudo_file_system(fd.get())) return std::nullopt;
  if (!read_all(fd.get(), static_cast<std::size_t>(status.st_size), bytes,
                static_cast<std::size_t>(max_bytes))) {
    return std::nullopt;
  }
  if (static_cast<std::int64_t>(bytes.size()) > max_bytes) return std::nullopt;
  return static_cast<std::int64_t>(status.st_size);
}

std::optional<SmallFile> read_small_file(const fs::path& path, std::int64_t max_bytes) {
  SmallFile file;
  const auto size = read_small_file(path, max_bytes, file.bytes);
  if (!size) return std::nullopt;
  file.size = *size;
  return file;
}

namespace {

constexpr std::string_view TEMPORARY_INFIX = ".tmp.";
constexpr std::string_view TEMPORARY_PLACEHOLDER = "XXXXXX";  // replaced by mkstemp
// A temporary unchanged for this long belongs to a writer that is gone.
constexpr time_t STALE_TEMPORARY_SECONDS = 60;

bool is_temporary_of(std::string_view name, std::string_view target_name) {
  if (name.size() != target_name.size() + TEMPORARY_INFIX.size() + TEMPORARY_PLACEHOLDER.size() ||
      !name.starts_with(target_name) ||
      name.substr(target_name.size(), TEMPORARY_INFIX.size()) != TEMPORARY_INFIX) {
    return false;
  }
  const std::string_view unique = name.substr(name.size() - TEMPORARY_PLACEHOLDER.size());
  return std::all_of(unique.begin(), unique.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
}

// Removes the temporaries of `target` that writers killed before their rename left
// behind. One still changing within the last minute may belong to a writer at work and
// stays. Best effort: whatever cannot be listed or removed stays.
void remove_stale_temporaries(const fs::path& target) {
  const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string target_name = target.filename().string();
  const time_t now = ::time(nullptr);
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const fs::path& entry = it->path();
    if (!is_temporary_of(entry.filename().string(), target_name)) continue;
    struct stat status {};
    if (::lstat(entry.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (now - status.st_mtime >= STALE_TEMPORARY_SECONDS) ::unlink(entry.c_str());
  }
}

// Makes the rename of an entry of `directory` durable. Not every file system can sync a
// directory, and the rename has been done either way, so a failure is not reported.
void sync_directory(const fs::path& directory) {
  const FileDescriptor fd(
      ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

// A temporary file beside the target that is removed unless it was renamed over it.
class TemporaryFile {
 public:
  explicit TemporaryFile(const fs::path& target)
      : target_(target),
        name_(target.string() + std::string(TEMPORARY_INFIX) + std::string(TEMPORARY_PLACEHOLDER)),
        fd_(::mkstemp(name_.data())) {
    if (fd_.get() < 0) fail_writing(target_, errno);
    if (::fchmod(fd_.get(), default_file_mode()) != 0) fail(errno);
  }
  ~TemporaryFile() {
    if (!renamed_) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void write(std::string_view content) {
    if (!write_all(fd_.get(), content)) fail(errno);
  }

  // The bytes reach the disk before the rename, so that a power loss leaves the old
  // file or the new one, never an empty one. Returns the status of the file written, as
  // its own descriptor gives it after the rename (a rename changes the change time), so
  // that it is the status of these bytes whatever has the name by then.
  std::optional<FileStatus> commit(Durability durability = Durability::synced) {
    if (durability == Durability::synced && ::fsync(fd_.get()) != 0) fail(errno);
    // Closed before the rename, so that a write error that only the close reports (a
    // network file system) leaves the target untouched; a second descriptor stays open
    // for the status.
    const FileDescriptor kept(::dup(fd_.get()));
    if (!fd_.close()) fail(errno);
    if (::rename(name_.c_str(), target_.c_str()) != 0) fail(errno);
    renamed_ = true;
    if (durability == Durability::synced) sync_directory(target_.parent_path());
    remove_stale_temporaries(target_);
    return kept.get() >= 0 ? file_status(kept.get()) : std::nullopt;
  }

 private:
  [[noreturn]] void fail(int error_number) const { fail_writing(target_, error_number); }

  fs::path target_;
  std::string name_;
  FileDescriptor fd_;
  bool renamed_ = false;
};

}  // namespace

std::optional<FileStatus> write_file_atomically(const fs::path& path, std::string_view content,
                                                Durability durability) {
  TemporaryFile file(path);
  file.write(content);
  return file.commit(durability);
}

std::optional<FileStatus> write_file_atomically(const fs::path& path,
                                                const std::function<void(const TextSink&)>& produce,
                                                Durability durability) {
  TemporaryFile file(path);
  produce([&file](std::string_view piece) { file.write(piece); });
  return file.commit(durability);
}

fs::path resolve_path(const fs::path& path) {
  // realpath() is the quick way for a path that exists, which is every scanned file.
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    fs::path out(resolved);
    std::free(resolved);
    return out;
  }
  std::error_code error;
  fs::path absolute = fs::absolute(path, error);
  if (error) absolute = path;
  fs::path resolved = fs::weakly_canonical(absolute, error);
  if (error) return absolute.lexically_normal();
  return resolved;
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

}  // namespace plinthar::text

#pragma once

// Whole-file reads and atomic whole-file writes.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "plinthar/text/file_status.hpp"
#include "plinthar/text/text_sink.hpp"

namespace plinthar::text {

// Owns an open file descriptor (a negative one means none) and closes it at the end.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and reports whether the close succeeded.
  bool close();

 private:
  int fd_;
};

// How reading a whole file ended.
enum class FileRead {
  read,         // the bytes are there
  missing,      // nothing at the path, or a link that leads nowhere
  directory,    // a directory: nothing read
  not_regular,  // a FIFO, socket or device: nothing read
  failed,       // it could not be opened or read; see the error number
};

struct WholeFile {
  FileRead outcome = FileRead::failed;
  std::string bytes;  // when read
  int error = 0;      // the errno of a failed open or read
};

// True when the open file `fd` lives on one of the kernel's pseudo file systems (proc,
// sysfs, debugfs and their like), or when that cannot be told.
bool on_pseudo_file_system(int fd);

// Whether opening a file follows a symbolic link in its last component. crv's own data
// files are never links: a repository that ships `.corvel/action_events.jsonl` as a link
// to ~/.bashrc must not get crv to write there.
enum class Links { followed, not_followed };

// The open flag that says `links`.
int open_flags(Links links);

// What an open that failed with `error_number` says, naming a link not followed as such.
std::string open_error_text(int error_number);

// Reads the regular file at `path` (following links unless told not to) whole. Opening never waits
// on a FIFO, and nothing is read from what is not a regular file, so a FIFO or a device put in
// place of a data file can neither hang the program nor feed it without end. Throws plinthar::Error
// for a file larger than a string can be on this system (2 GiB on 32-bit ones).
WholeFile read_whole_file(const std::filesystem::path& path, Links links = Links::followed);

// Why `file` (read from `path`) was not read: "cannot read PATH: REASON", naming a
// directory or a file that is not a regular file as such.
std::string read_failure(const std::filesystem::path& path, const WholeFile& file);

// Reads exactly `size` bytes at `offset` of the open file `fd` into `data`, going on
// after short reads; false on an error or when the file ends first.
bool read_exactly_at(int fd, char* data, std::size_t size, std::uint64_t offset);

// Writes all of `content` to `fd`, going on after short writes; false with errno set
// when a write fails (a short write is followed by another, which tells why: ENOSPC,
// EFBIG).
bool write_all(int fd, std::string_view content);

// The bytes of the regular file at `path`, or nothing when read_whole_file does not
// read them.
std::optional<std::string> read_file(const std::filesystem::path& path);

// A regular file's size on disk and, when that is at most `max_bytes`, its bytes.
struct SmallFile {
  std::int64_t size = 0;
  std::string bytes;
};

// Reads `path` (following links) with one open: nothing when it cannot be opened, is not
// a regular file or is larger than `max_bytes` (then it is not read at all). Nothing is
// read from the kernel's pseudo file systems (/proc, /sys and their like), whose files
// report sizes they do not have and can hold the secrets of the reading process, and
// never more than `max_bytes` + 1 bytes, whatever size the file reports.
std::optional<SmallFile> read_small_file(const std::filesystem::path& path, std::int64_t max_bytes);

// The same, reading the bytes into `bytes` (whose storage is reused from call to call);
// returns the size on disk, or nothing as above (`bytes` is then unspecified).
std::optional<std::int64_t> read_small_file(const std::filesystem::path& path,
                                            std::int64_t max_bytes, std::string& bytes);

// Replaces `path` with `content` atomically: writes a temporary file in the same
// directory ("PATH.tmp.XXXXXX"), syncs it and renames it over the target, then syncs the
// directory, so readers never see a partial file and a power loss never leaves an empty
// one. Temporaries of the same pattern that writers killed before their rename left
// behind (unchanged for a minute) are removed afterwards. Returns the status of the file
// written, taken from its own descriptor after the rename (nothing when that could not
// be had): the status of these bytes, whatever has the name by the time the caller
// looks. Throws plinthar::Error naming the path when anything fails; the target is
// untouched.
//
// A file that can always be made again from others (a cache) is written `unsynced`:
// still atomic, but a power loss may leave it damaged, which its readers must detect.
enum class Durability { synced, unsynced };
std::optional<FileStatus> write_file_atomically(const std::filesystem::path& path,
                                                std::string_view content,
                                                Durability durability = Durability::synced);

// The same for content produced in pieces: `produce` hands each piece to the sink it is
// given. An exception from `produce` leaves the target untouched and propagates.
std::optional<FileStatus> write_file_atomically(const std::filesystem::path& path,
                                                const std::function<void(const TextSink&)>& produce,
                                                Durability durability = Durability::synced);

// `path` made absolute with every symbolic link resolved; components that do not exist
// are kept as written. Never throws.
std::filesystem::path resolve_path(const std::filesystem::path& path);

// Creates the directory that will hold `file`, with its parents.
// Throws plinthar::Error when that fails.
void create_parent_directories(const std::filesystem::path& file);

}  // namespace plinthar::text

#include "plinthar/query/data/action_log.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/query/data/json_lines.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query {

namespace fs = std::filesystem;
namespace {

[[noreturn]] void fail_appending(const fs::path& path, int error_number) {
  throw Error("cannot append to " + path.string() + ": " + text::open_error_text(error_number));
}

// How long an append waits for another to finish before it goes ahead unlocked: a
// holder that never lets go (not a crv) must not stop the append.
constexpr int LOCK_ATTEMPTS = 100;
constexpr useconds_t LOCK_RETRY_MICROSECONDS = 10000;

// Takes an exclusive lock on the log open as `fd`, which closing it releases. Appends of
// other crv processes hold it while they write, so the last byte looked at below is never
// that of a record still being written (which would start this one with a needless line
// feed).
void lock_for_append(int fd) {
  for (int attempt = 0; attempt < LOCK_ATTEMPTS; ++attempt) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return;
    ::usleep(LOCK_RETRY_MICROSECONDS);
  }
}

// Whether the file open as `fd` at `path` is a regular file whose last byte is not a line
// feed: a record cut short by a full disk or a killed writer. Read through a second
// descriptor, since the log is opened for writing only (a FIFO opened for reading and
// writing would never refuse the open).
bool ends_inside_a_line(const fs::path& path, int fd, text::Links links) {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0) return false;
  const text::FileDescriptor reader(
      ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | text::open_flags(links)));
  char last = '\n';
  if (reader.get() < 0 || ::pread(reader.get(), &last, 1, status.st_size - 1) != 1) return false;
  return last != '\n';
}

}  // namespace

void append_line(const fs::path& path, std::string_view line, text::Links links) {
  // O_NONBLOCK: a FIFO without a reader put in place of the log fails to open instead
  // of blocking the program; it changes nothing for a regular file.
  text::FileDescriptor file(::open(
      path.c_str(),
      O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | text::open_flags(links), 0666));
  if (file.get() < 0) fail_appending(path, errno);
  // A fragment left by an earlier failed append is ended first, so that this record
  // stands on a line of its own and the fragment alone is skipped by the readers.
  lock_for_append(file.get());
  std::string record;
  if (ends_inside_a_line(path, file.get(), links)) record = "\n";
  record += line;
  if (!text::write_all(file.get(), record)) fail_appending(path, errno);
  if (!file.close()) fail_appending(path, errno);
}

std::string format_timestamp(std::int64_t microseconds) {
  // The calendar of <chrono> rather than time_t, which is 32 bits on some 32-bit systems
  // and wraps in January 2038.
  namespace chrono = std::chrono;
  const chrono::sys_time<chrono::microseconds> time{chrono::microseconds(microseconds)};
  const auto day = chrono::floor<chrono::days>(time);
  const chrono::year_month_day date{day};
  const chrono::hh_mm_ss clock{chrono::floor<chrono::seconds>(time - day)};
  const auto fraction = (time - chrono::floor<chrono::seconds>(time)).count();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  std::string text = buffer;
  if (fraction != 0) {
    std::snprintf(buffer, sizeof buffer, ".%06lld", static_cast<long long>(fraction));
    text += buffer;
  }
  return text + "+00:00";
}

std::int64_t now_microseconds() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count();
}

text::Json make_action_record(std::string timestamp, std::string_view kind,
                              std::string_view summary, text::Json meta) {
  text::Json record = text::Json::object();
  record["timestamp"] = std::move(timestamp);
  record["kind"] = std::string(kind);
  record["summary"] = std::string(summary);
  record["meta"] = std::move(meta);
  return record;
}

std::vector<text::Json> read_action_events(const Locations& locations, std::int64_t limit) {
  return last_elements(read_json_lines(locations.action_log, locations.data_links), limit);
}

}  // namespace plinthar::query

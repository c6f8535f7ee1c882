#include "plinthar/query/commands/background_work.hpp"

#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "plinthar/error.hpp"
#include "plinthar/query/data/action_log.hpp"
#include "plinthar/text/file_io.hpp"
#include "plinthar/text/file_lock.hpp"

namespace plinthar::query {
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A log past this size starts again empty: it tells what the last workers did.
constexpr off_t LOG_BYTES = 1 << 20;
constexpr auto POLL_STEP = std::chrono::milliseconds(25);

// Points standard input at nothing and standard output and error at the end of `log`
// (never through a symbolic link).
void redirect_output(const fs::path& log) {
  const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null >= 0) ::dup2(null, STDIN_FILENO);
  const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (out < 0) return;
  struct stat status {};
  if (::fstat(out, &status) == 0 && status.st_size > LOG_BYTES) ::ftruncate(out, 0);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(out, STDERR_FILENO);
}

void say(const std::string& line) {
  const std::string text = format_timestamp(now_microseconds()) + " crv[" +
                           std::to_string(::getpid()) + "]: " + line + "\n";
  text::write_all(STDERR_FILENO, text);
}

// The worker: what it does goes to the log; it ends without running what the caller's
// process would run at its exit (its buffered output is the caller's).
[[noreturn]] void work_in_child(const fs::path& log, int done_pipe,
                                const std::function<void()>& work) {
  ::setsid();
  redirect_output(log);
  const auto started = Clock::now();
  int status = 0;
  try {
    work();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    say("graph brought up to date in " + std::to_string(took.count()) + " ms");
  } catch (const std::exception& error) {
    say(std::string("error: ") + error.what());
    status = 1;
  }
  const char done = 1;
  [[maybe_unused]] const ssize_t written = ::write(done_pipe, &done, 1);
  ::_exit(status);
}

// Whether `fd` becomes readable (or its writer goes) within `wait`.
bool readable_within(int fd, std::chrono::milliseconds wait) {
  pollfd entry{fd, POLLIN, 0};
  const auto deadline = Clock::now() + wait;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

// Waits up to `wait` for the worker holding `work_lock` to let it go.
bool other_ends_within(const fs::path& work_lock, std::chrono::milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(POLL_STEP);
    if (text::FileLock::try_take(work_lock)) return true;
  }
  return false;
}

}  // namespace

bool run_detached(const fs::path& work_lock, const fs::path& log, std::chrono::milliseconds wait,
                  const std::function<void()>& work) {
  auto lock = text::FileLock::try_take(work_lock);
  if (!lock) {
    std::error_code missing;
    if (!fs::exists(work_lock, missing)) throw Error("cannot lock " + work_lock.string());
    return other_ends_within(work_lock, wait);
  }
  int done[2];
  if (::pipe2(done, O_CLOEXEC) != 0) {
    throw Error(std::string("cannot start the background work: ") + std::strerror(errno));
  }
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(done[0]);
    ::close(done[1]);
    throw Error(std::string("cannot start the background work: ") + std::strerror(errno));
  }
  if (child == 0) {
    ::close(done[0]);
    work_in_child(log, done[1], work);  // keeps the work lock, inherited, until it ends
  }
  ::close(done[1]);
  lock.reset();  // the worker holds it now
  const bool ended = readable_within(done[0], wait);
  ::close(done[0]);
  if (ended) ::waitpid(child, nullptr, 0);  // it has said it is done: it is ending
  return ended;
}

}  // namespace plinthar::query

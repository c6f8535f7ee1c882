#include "plinthar/query/hooks/hook_guard.hpp"

#include <algorithm>
#include <csignal>
#include <exception>
#include <ostream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "plinthar/error.hpp"

namespace plinthar::query {
namespace {

// What the alarm handler writes and exits with, prepared before the alarm is armed:
// a signal handler may only write and exit.
std::string timeout_message;
volatile std::sig_atomic_t timeout_status = STATUS_OK;

extern "C" void on_time_limit(int) {
  [[maybe_unused]] const ssize_t ignored =
      ::write(STDERR_FILENO, timeout_message.data(), timeout_message.size());
  ::_exit(timeout_status);
}

// Ends the process after --timeout seconds (never when 0 or less) the way the hook fails.
class TimeLimit {
 public:
  TimeLimit(const HookGuard& guard, const std::string& prefix) {
    if (guard.timeout <= 0) return;
    timeout_message = prefix + "time limit of " + std::to_string(guard.timeout) + " s exceeded\n";
    timeout_status = guard.strict ? STATUS_FAILURE : STATUS_OK;
    std::signal(SIGALRM, on_time_limit);
    ::alarm(static_cast<unsigned>(std::min<std::int64_t>(guard.timeout, 86400)));
    armed_ = true;
  }
  ~TimeLimit() {
    if (armed_) ::alarm(0);
  }
  TimeLimit(const TimeLimit&) = delete;
  TimeLimit& operator=(const TimeLimit&) = delete;

 private:
  bool armed_ = false;
};

}  // namespace

int run_hook(std::string_view command, const HookGuard& guard, const Streams& streams,
             const std::function<void(std::ostream& out)>& work) {
  const std::string prefix =
      guard.strict ? "crv: error: " : "crv hook " + std::string(command) + ": ";
  std::ostringstream buffer;
  try {
    const TimeLimit limit(guard, prefix);
    work(buffer);
  } catch (const std::exception& error) {
    if (guard.strict) throw;
    streams.err << prefix << error.what() << "\n";
    return STATUS_OK;
  }
  streams.out << buffer.str();
  return STATUS_OK;
}

}  // namespace plinthar::query

#include "plinthar/query/hooks/hook_guard.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <csignal>
#include <exception>
#include <ostream>
#include <sstream>
#include <string>

#include <sys/time.h>
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
    const double seconds = time_limit_seconds(guard);
    if (seconds <= 0) return;
    timeout_message = prefix + "time limit of " + seconds_text(guard.timeout) + " s exceeded\n";
    timeout_status = guard.strict ? STATUS_FAILURE : STATUS_OK;
    std::signal(SIGALRM, on_time_limit);
    // At least a microsecond: a timer of none would never fire.
    arm(std::max(std::chrono::duration_cast<std::chrono::microseconds>(
                     std::chrono::duration<double>(seconds)),
                 std::chrono::microseconds(1)));
    armed_ = true;
  }
  ~TimeLimit() {
    if (armed_) arm(std::chrono::microseconds(0));
  }
  TimeLimit(const TimeLimit&) = delete;
  TimeLimit& operator=(const TimeLimit&) = delete;

 private:
  // One shot of SIGALRM after `delay` (none: disarmed); a fraction of a second counts.
  static void arm(std::chrono::microseconds delay) {
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(delay.count() / 1000000);
    timer.it_value.tv_usec = static_cast<suseconds_t>(delay.count() % 1000000);
    ::setitimer(ITIMER_REAL, &timer, nullptr);
  }

  bool armed_ = false;
};

// A day: more than any hook needs, and within what the timer holds everywhere.
constexpr double MOST_TIMEOUT_SECONDS = 86400;

}  // namespace

double time_limit_seconds(const HookGuard& guard) {
  return guard.timeout > 0 ? std::min(guard.timeout, MOST_TIMEOUT_SECONDS) : 0;
}

std::string seconds_text(double seconds) {
  std::array<char, 32> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), seconds).ptr;
  return std::string(digits.data(), end);
}

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

#include "plinthar/query/cli/hook_guard.hpp"

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
  TimeLimit(const Args& args, const std::string& prefix) {
    if (args.timeout <= 0) return;
    timeout_message = prefix + "time limit of " + std::to_string(args.timeout) + " s exceeded\n";
    timeout_status = args.strict ? STATUS_FAILURE : STATUS_OK;
    std::signal(SIGALRM, on_time_limit);
    ::alarm(static_cast<unsigned>(std::min<std::int64_t>(args.timeout, 86400)));
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

int run_hook(const Args& args, std::ostream& out, std::ostream& err,
             const std::function<void(std::ostream& out)>& work) {
  const std::string prefix = args.strict ? "crv: error: " : "crv hook " + args.action_cmd + ": ";
  std::ostringstream buffer;
  try {
    const TimeLimit limit(args, prefix);
    work(buffer);
  } catch (const std::exception& error) {
    if (args.strict) throw;
    err << prefix << error.what() << "\n";
    return STATUS_OK;
  }
  out << buffer.str();
  return STATUS_OK;
}

}  // namespace plinthar::query

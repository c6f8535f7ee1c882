#pragma once

// What keeps a hook from ever breaking an assistant's prompt: the hook's work fails open
// (nothing on standard output, one line on standard error, status 0) and is bounded in
// time. --strict restores the usual exit statuses, for finding out what went wrong.

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "plinthar/query/commands/streams.hpp"

namespace plinthar::query {

// How a hook command fails: within --timeout seconds (fractions allowed; 0 or less: no
// limit), and open unless --strict.
struct HookGuard {
  double timeout = 10;
  bool strict = false;
};

// The time limit in effect, in seconds: 0 for none, else --timeout up to a day.
double time_limit_seconds(const HookGuard& guard);

// "10", "1.5", "0.25": the shortest decimal form of `seconds`, as messages print it.
std::string seconds_text(double seconds);

// Runs `work` for the hook command `command` ("prompt", "tool"). What `work` writes
// reaches the output stream only when it has finished. Without --strict, a failure is
// reported on the error stream as "crv hook <command>: <message>" and the status is 0;
// with it, the failure goes on to the caller. When --timeout seconds pass first, the
// process ends at once in the same way (status 1 with --strict).
int run_hook(std::string_view command, const HookGuard& guard, const Streams& streams,
             const std::function<void(std::ostream& out)>& work);

}  // namespace plinthar::query

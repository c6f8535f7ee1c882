#pragma once

// What keeps a hook from ever breaking an assistant's prompt: the hook's work fails open
// (nothing on standard output, one line on standard error, status 0) and is bounded in
// time. --strict restores the usual exit statuses, for finding out what went wrong.

#include <functional>
#include <iosfwd>

#include "plinthar/query/cli/command_line.hpp"

namespace plinthar::query {

// Runs `work` for the hook command `args` selects. What `work` writes reaches `out` only
// when it has finished. Without --strict, a failure is reported on `err` as
// "crv hook <command>: <message>" and the status is 0; with it, the failure goes on to
// the caller. When --timeout seconds pass first, the process ends at once in the same
// way (status 1 with --strict).
int run_hook(const Args& args, std::ostream& out, std::ostream& err,
             const std::function<void(std::ostream& out)>& work);

}  // namespace plinthar::query

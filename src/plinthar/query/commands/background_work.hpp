#pragma once

// Work on a project's graph that a caller with a time limit (an assistant's prompt hook)
// leaves to a process of its own: a first scan, a large refresh, building the term
// statistics of a large graph. The process runs in a session of its own, so that it
// outlives its caller and whatever ends the caller's process group, writes what it says
// to a log file in the data directory, and runs one at a time per graph: a caller that
// finds one at work waits for that one instead of starting another.

#include <chrono>
#include <filesystem>
#include <functional>

namespace plinthar::query {

// Runs `work` in a detached process (standard output and error appended to `log`),
// unless the work lock `work_lock` shows another one at work, and waits up to `wait`
// for it (or the other) to end. True when it ended within the wait; the work goes on in
// its process either way. Throws plinthar::Error when no process can be started.
bool run_detached(const std::filesystem::path& work_lock, const std::filesystem::path& log,
                  std::chrono::milliseconds wait, const std::function<void()>& work);

}  // namespace plinthar::query

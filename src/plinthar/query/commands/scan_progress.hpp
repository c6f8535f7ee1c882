#pragma once

// The line `crv scan` keeps up to date on a terminal while it reads a project: files read
// of all the walk found, megabytes read, the rate and the time left at that rate.

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "plinthar/scanner/scan.hpp"

namespace plinthar::query {

class ScanProgress {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // Draws on `out` at most every `step`; `now` tells the time (a steady clock unless a
  // test gives another).
  explicit ScanProgress(std::ostream& out,
                        std::chrono::milliseconds step = std::chrono::milliseconds(200),
                        Clock now = std::chrono::steady_clock::now);

  // What the scan hands its progress to.
  scanner::ScanObserver observer();

  ScanProgress(const ScanProgress&) = delete;
  ScanProgress& operator=(const ScanProgress&) = delete;

  // Clears the line, so that what follows (the report, or an error) starts on a clean one.
  ~ScanProgress() { finish(); }
  void finish();

 private:
  void walked(std::size_t files);
  void read(std::uint64_t bytes);
  void draw();

  std::ostream& out_;
  std::chrono::milliseconds step_;
  Clock now_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point drawn_;
  std::size_t total_files_ = 0;
  std::size_t files_read_ = 0;
  std::uint64_t bytes_read_ = 0;
  std::size_t drawn_width_ = 0;
};

// The progress line itself: "1200/16833 files, 12.3 MB, 2400 files/s, 7 s left".
std::string progress_line(std::size_t files_read, std::size_t total_files, std::uint64_t bytes_read,
                          double seconds);

}  // namespace plinthar::query

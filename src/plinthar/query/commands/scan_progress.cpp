#include "plinthar/query/commands/scan_progress.hpp"

#include <cmath>
#include <cstdio>

namespace plinthar::query {

namespace {

std::string formatted(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The time left at the rate so far; nothing to say before the first second.
std::string time_left(std::size_t files_read, std::size_t total_files, double seconds) {
  if (seconds < 1 || files_read == 0) return "";
  const double left =
      seconds * static_cast<double>(total_files - files_read) / static_cast<double>(files_read);
  return ", " + formatted("%.0f", std::ceil(left)) + " s left";
}

}  // namespace

std::string progress_line(std::size_t files_read, std::size_t total_files, std::uint64_t bytes_read,
                          double seconds) {
  std::string line = std::to_string(files_read) + "/" + std::to_string(total_files) + " files, " +
                     formatted("%.1f", static_cast<double>(bytes_read) / 1e6) + " MB";
  if (seconds > 0) {
    line += ", " + formatted("%.0f", static_cast<double>(files_read) / seconds) + " files/s";
  }
  return line + time_left(files_read, total_files, seconds);
}

ScanProgress::ScanProgress(std::ostream& out, std::chrono::milliseconds step, Clock now)
    : out_(out), step_(step), now_(std::move(now)), started_(now_()), drawn_(started_) {}

scanner::ScanObserver ScanProgress::observer() {
  scanner::ScanObserver observer;
  observer.on_walked = [this](const scanner::WalkedTree& tree) { walked(tree.files.size()); };
  observer.on_file = [this](const scanner::ScannedFile& seen) {
    read(seen.status ? seen.status->size : 0);
  };
  return observer;
}

void ScanProgress::walked(std::size_t files) {
  total_files_ = files;
  started_ = now_();
  drawn_ = started_;
}

void ScanProgress::read(std::uint64_t bytes) {
  ++files_read_;
  bytes_read_ += bytes;
  if (now_() - drawn_ >= step_) draw();
}

void ScanProgress::draw() {
  drawn_ = now_();
  const double seconds = std::chrono::duration<double>(drawn_ - started_).count();
  const std::string line = progress_line(files_read_, total_files_, bytes_read_, seconds);
  // Spaces over what a longer line before left on the terminal.
  const std::size_t width = line.size();
  out_ << '\r' << line << std::string(drawn_width_ > width ? drawn_width_ - width : 0, ' ')
       << std::flush;
  drawn_width_ = width;
}

void ScanProgress::finish() {
  if (drawn_width_ == 0) return;
  out_ << '\r' << std::string(drawn_width_, ' ') << '\r' << std::flush;
  drawn_width_ = 0;
}

}  // namespace plinthar::query

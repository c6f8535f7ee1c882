#include "plinthar/query/commands/scan_progress.hpp"

#include <sstream>

#include <gtest/gtest.h>

namespace plinthar::query {
namespace {

using std::chrono::milliseconds;

TEST(ProgressLine, SaysRateAndTimeLeftOnlyOnceThereIsATimeToTellThemBy) {
  struct Case {
    std::size_t read, total;
    std::uint64_t bytes;
    double seconds;
    const char* line;
  };
  for (const Case& c : {
           Case{0, 100, 0, 0, "0/100 files, 0.0 MB"},
           Case{10, 100, 2'500'000, 0.5, "10/100 files, 2.5 MB, 20 files/s"},
           Case{25, 100, 1'000'000, 2, "25/100 files, 1.0 MB, 12 files/s, 6 s left"},
           Case{100, 100, 0, 4, "100/100 files, 0.0 MB, 25 files/s, 0 s left"},
       }) {
    EXPECT_EQ(progress_line(c.read, c.total, c.bytes, c.seconds), c.line);
  }
}

TEST(ScanProgress, DrawsAtMostEveryStepOverItsOwnLineAndClearsItAtTheEnd) {
  std::ostringstream out;
  auto now = std::chrono::steady_clock::time_point{};
  {
    ScanProgress progress(out, milliseconds(100), [&] { return now; });
    auto observer = progress.observer();
    scanner::WalkedTree tree;
    tree.files.resize(1000);
    observer.on_walked(tree);
    scanner::ScannedFile seen;
    seen.status = text::FileStatus{};
    seen.status->size = 2'000'000;
    for (int file = 0; file < 10; ++file) {
      now += milliseconds(30);
      observer.on_file(seen);
    }
  }
  // Drawn after the 4th and the 8th file (120 ms and 240 ms), then wiped.
  const std::string first = "4/1000 files, 8.0 MB, 33 files/s";
  const std::string second = "8/1000 files, 16.0 MB, 33 files/s";
  EXPECT_EQ(out.str(),
            "\r" + first + "\r" + second + "\r" + std::string(second.size(), ' ') + "\r");
}

}  // namespace
}  // namespace plinthar::query

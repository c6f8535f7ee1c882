#pragma once

// What every fuzz target shares: the libFuzzer entry point it defines, and the check
// that stops the run when a property of the code under test does not hold. Inputs the
// programs would reject with plinthar::Error are fine; a crash, a sanitizer report, an
// exception of another type escaping or a failed check is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// Runs the code under test on one input; returns 0 (libFuzzer's convention).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace plinthar::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

[[noreturn]] inline void check_failed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, condition);
  std::abort();
}

}  // namespace plinthar::fuzz

// Stops the run with a report when `condition` is false (a macro, for the file and line).
#define FUZZ_CHECK(condition) \
  ((condition) ? void(0) : ::plinthar::fuzz::check_failed(#condition, __FILE__, __LINE__))

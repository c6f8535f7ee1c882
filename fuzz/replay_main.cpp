// Replays fuzz inputs without libFuzzer: each argument is an input file or a folder of
// them (its regular files, in name order), and each input is handed to the target once.
// A failed check aborts; otherwise the program reports how many inputs it ran. Built with
// any compiler, so that the corpora run as ordinary tests.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_target.hpp"

namespace {
namespace fs = std::filesystem;

std::vector<fs::path> inputs_of(const fs::path& argument) {
  if (!fs::is_directory(argument)) return {argument};
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(argument)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 0;
  for (int i = 1; i < argc; ++i) {
    for (const fs::path& input : inputs_of(argv[i])) {
      std::ifstream in(input, std::ios::binary);
      if (!in) {
        std::cerr << "cannot read " << input << "\n";
        return 1;
      }
      const std::string bytes{std::istreambuf_iterator<char>(in), {}};
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++count;
    }
  }
  if (count == 0) {
    std::cerr << "no inputs to replay\n";
    return 1;
  }
  std::cout << "replayed " << count << " inputs\n";
  return 0;
}

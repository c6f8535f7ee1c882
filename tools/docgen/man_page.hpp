#pragma once

// A program's manual page (roff, section 1): synopsis, options and commands from its
// command model, and the prose the command line cannot tell.

#include <string>
#include <utility>
#include <vector>

#include "command_model.hpp"

namespace plinthar::docgen {

struct ManualNotes {
  std::string description;
  std::vector<std::pair<std::string, std::string>> environment;  // variable, meaning
  std::vector<std::pair<std::string, std::string>> files;        // path, meaning
  std::string exit_status;
  std::string see_also;
};

std::string man_page(const CommandDoc& program, const ManualNotes& notes,
                     const std::string& version);

}  // namespace plinthar::docgen

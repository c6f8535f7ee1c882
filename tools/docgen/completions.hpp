#pragma once

// Shell completions of a program's subcommands and options, from its command model:
// subcommand names, option names, and file names after options that take text.

#include <string>

#include "command_model.hpp"

namespace plinthar::docgen {

std::string bash_completion(const CommandDoc& program);
std::string zsh_completion(const CommandDoc& program);
std::string fish_completion(const CommandDoc& program);

}  // namespace plinthar::docgen

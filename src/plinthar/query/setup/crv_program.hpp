#pragma once

// How the settings name the crv that runs setup. A crv that PATH leads to is named plain
// `crv`, so that the entries keep working when it is reinstalled or the project moves to
// a machine where it lies elsewhere on PATH; any other crv (a build tree, a copy) by its
// resolved path, since the assistant starts it from wherever it is.

#include <filesystem>
#include <string>
#include <string_view>

#include "plinthar/query/data/locations.hpp"

namespace plinthar::query::setup {

inline constexpr std::string_view PROGRAM_NAME = "crv";

// The executable of the running crv, symbolic links resolved: the program itself, or
// the crv beside the files of `locations` for the Python module form. Throws
// plinthar::Error when there is none.
std::filesystem::path crv_executable(const Locations& locations);

// "crv" when the first crv on the PATH that `env` gives is `program`, else the path of
// `program`.
std::string crv_program_name(const std::filesystem::path& program, const EnvLookup& env);

// `word` as one shell word: as it is when it holds only characters the shell takes
// literally, else in single quotes.
std::string shell_word(std::string_view word);

}  // namespace plinthar::query::setup

#pragma once

// The program `crv`: locations, command line, one handler, exit status.

#include <filesystem>
#include <iosfwd>

#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"

namespace plinthar::query {

// Runs `crv` with the locations of the running program and returns the exit status:
// the handler's status, 2 for a rejected command line, 1 after a failure, which is
// reported on `err` as "crv: error: <message>".
int crv_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The same for a program whose files live beside `base_dir` rather than beside the
// running executable: the Python module form, whose executable is the interpreter.
int crv_main(int argc, const char* const* argv, const std::filesystem::path& base_dir,
             std::ostream& out, std::ostream& err);

// The same with the locations and the standard streams given, so that the program can
// run in-process.
int crv_main(int argc, const char* const* argv, const Locations& locations, const Streams& streams);

}  // namespace plinthar::query

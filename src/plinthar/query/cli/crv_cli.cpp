#include "plinthar/query/cli/crv_cli.hpp"

#include <exception>
#include <ostream>

#include "plinthar/error.hpp"
#include "plinthar/query/cli/command_line.hpp"
#include "plinthar/query/cli/data_directory.hpp"

namespace plinthar::query {

int crv_main(int argc, const char* const* argv, const Locations& locations, std::ostream& out,
             std::ostream& err) {
  const ParseOutcome parsed = parse_command_line(argc, argv, locations, out, err);
  if (!parsed.args) return parsed.status;
  try {
    return parsed.args->func(*parsed.args, locations, out, err);
  } catch (const std::exception& error) {
    out.flush();
    err << "crv: error: " << error.what() << "\n";
    return STATUS_FAILURE;
  }
}

int crv_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  Locations locations;
  try {
    locations = locate(running_program_dir(), process_env);
  } catch (const std::exception& error) {
    err << "crv: error: " << error.what() << "\n";
    return STATUS_FAILURE;
  }
  return crv_main(argc, argv, locations, out, err);
}

}  // namespace plinthar::query

#include "plinthar/query/cli/crv_cli.hpp"

#include <exception>
#include <iostream>

#include "plinthar/error.hpp"
#include "plinthar/query/cli/command_line.hpp"
#include "plinthar/query/data/data_directory.hpp"

namespace plinthar::query {
namespace {

int report_failure(const std::exception& error, std::ostream& err) {
  err << "crv: error: " << error.what() << "\n";
  return STATUS_FAILURE;
}

}  // namespace

int crv_main(int argc, const char* const* argv, const Locations& locations,
             const Streams& streams) {
  const ParseOutcome parsed = parse_command_line(argc, argv, locations, streams.out, streams.err);
  if (!parsed.args) return parsed.status;
  try {
    return parsed.args->func(*parsed.args, locations, streams);
  } catch (const std::exception& error) {
    streams.out.flush();
    return report_failure(error, streams.err);
  }
}

int crv_main(int argc, const char* const* argv, const std::filesystem::path& base_dir,
             std::ostream& out, std::ostream& err) {
  Locations locations;
  try {
    locations = locate(base_dir, process_env);
  } catch (const std::exception& error) {
    return report_failure(error, err);
  }
  return crv_main(argc, argv, locations, Streams{std::cin, out, err});
}

int crv_main(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  std::filesystem::path base_dir;
  try {
    base_dir = running_program_dir();
  } catch (const std::exception& error) {
    return report_failure(error, err);
  }
  return crv_main(argc, argv, base_dir, out, err);
}

}  // namespace plinthar::query

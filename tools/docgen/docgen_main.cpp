// Writes the manual pages and the bash, zsh and fish completions of crv and mapforge into
// the folder given as the one argument, from the parsers the programs build.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "completions.hpp"
#include "man_page.hpp"
#include "plinthar/query/cli/command_line.hpp"
#include "plinthar/scanner/mapforge_cli.hpp"
#include "plinthar/version.hpp"

namespace {
namespace fs = std::filesystem;
using plinthar::docgen::CommandDoc;
using plinthar::docgen::ManualNotes;

// The paths crv computes at start, as the manual names them.
plinthar::query::Locations described_locations() {
  plinthar::query::Locations locations;
  locations.data_dir = "DATA_DIR";
  locations.graph_json = "DATA_DIR/info_graph.json";
  locations.default_root = "the project root";
  return locations;
}

const ManualNotes CRV_NOTES{
    "crv ranks the information graph of a project against a task written in plain language "
    "and prints the files and relations that matter: as text, as JSON, or as the markdown "
    "block an assistant's hooks feed to the assistant before every prompt. The hook commands "
    "read the assistant's event from standard input and never fail a prompt: on any error "
    "they print nothing and exit 0, unless --strict is given.\n"
    "DATA_DIR is data/ beside the crv program. An installed crv (cmake --install or the "
    "Debian package) uses the .corvel/ folder of the project instead: the project named by "
    "CORVEL_PROJECT_ROOT, else the nearest folder upwards from the working directory that "
    "holds a .corvel/ folder, else the working directory. CRV_DATA_DIR overrides both.",
    {{"CORVEL_PROJECT_ROOT", "The project root scanned by default (else the working directory)."},
     {"CRV_DATA_DIR", "The data directory, when set and not empty."},
     {"CRV_CAPABILITY_INDEX", "The capability index (else DATA_DIR/functionality_index.md)."},
     {"CRV_QUERY", "The query of prime when --query is empty."}},
    {{"DATA_DIR/info_graph.json", "The graph, written on first use and by crv scan."},
     {"DATA_DIR/action_events.jsonl", "The action log."},
     {"DATA_DIR/token_usage.jsonl", "The token usage log that other tools write."},
     {"DATA_DIR/functionality_index.md", "The optional hand-written capability index."}},
    "0 on success (and for every failure of a hook command without --strict), 1 after a "
    "failure, 2 for a rejected command line or --meta.",
    "mapforge(1)"};

const ManualNotes MAPFORGE_NOTES{
    "mapforge scans a project (Python, TypeScript and JavaScript with JSX and TSX, Go, Swift, "
    "Markdown, JSON, YAML) into an information graph of files, symbols and the imports, "
    "requires and file mentions between them, and writes the graph and symbol_index.json "
    "beside it. A rescan reuses the analysis of unchanged files.",
    {},
    {{"symbol_index.json", "The symbol index, written beside the graph."}},
    "0 on success, 1 when an output cannot be written, 2 for a rejected command line.",
    "crv(1)"};

void write(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

void write_all(const fs::path& folder, const CommandDoc& program, const ManualNotes& notes) {
  using namespace plinthar::docgen;
  const std::string& name = program.name;
  write(folder / (name + ".1"), man_page(program, notes, std::string(plinthar::VERSION)));
  write(folder / (name + ".bash"), bash_completion(program));
  write(folder / ("_" + name), zsh_completion(program));
  write(folder / (name + ".fish"), fish_completion(program));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: docgen OUTPUT_FOLDER\n";
    return 2;
  }
  try {
    const fs::path folder = argv[1];
    fs::create_directories(folder);
    plinthar::query::visit_grammar(described_locations(), [&](const CLI::App& app) {
      write_all(folder, plinthar::docgen::describe(app), CRV_NOTES);
    });
    plinthar::scanner::visit_mapforge_grammar([&](const CLI::App& app) {
      write_all(folder, plinthar::docgen::describe(app), MAPFORGE_NOTES);
    });
  } catch (const std::exception& error) {
    std::cerr << "docgen: error: " << error.what() << "\n";
    return 1;
  }
  return 0;
}

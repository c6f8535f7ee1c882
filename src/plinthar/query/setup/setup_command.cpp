#include "plinthar/query/setup/setup_command.hpp"

#include <ostream>
#include <utility>

#include "plinthar/error.hpp"
#include "plinthar/query/data/data_directory.hpp"
#include "plinthar/query/setup/assistant_targets.hpp"
#include "plinthar/query/setup/crv_program.hpp"
#include "plinthar/query/setup/hook_entries.hpp"
#include "plinthar/query/setup/mcp_server_entry.hpp"
#include "plinthar/query/setup/settings_file.hpp"

namespace plinthar::query::setup {
namespace {

// What setup writes, naming the running crv.
struct CrvEntries {
  std::vector<HookEntry> hooks;
  Json server;
};

CrvEntries crv_entries(const Locations& locations) {
  const std::string name = crv_program_name(crv_executable(locations), process_env);
  return {crv_hooks(shell_word(name)), mcp_server_entry(name)};
}

// One file's change, worked out before anything is written.
struct FilePlan {
  SettingsFile file;
  Json document;
  std::vector<std::string> changes;
  bool remove_file = false;  // a removal that leaves nothing in a file
};

void append(std::vector<std::string>& lines, std::vector<std::string> more) {
  for (std::string& line : more) lines.push_back(std::move(line));
}

FilePlan plan_file(const SettingsTarget& target, const CrvEntries& entries, bool remove) {
  FilePlan plan{read_settings(target.file), {}, {}, false};
  plan.document = plan.file.document;
  try {
    if (target.hooks) {
      append(plan.changes, remove ? remove_hooks(plan.document, entries.hooks)
                                  : add_hooks(plan.document, entries.hooks));
    }
    if (target.mcp_server) {
      append(plan.changes, remove ? remove_mcp_server(plan.document, entries.server)
                                  : add_mcp_server(plan.document, entries.server));
    }
  } catch (const Error& error) {
    throw Error(target.file.string() + ": " + error.what());
  }
  plan.remove_file = remove && !plan.changes.empty() && plan.document.empty();
  return plan;
}

void print_dry_run(const FilePlan& plan, std::ostream& out) {
  const std::string path = plan.file.path.string();
  if (plan.remove_file) {
    out << path << ": would be removed, nothing of it being left\n";
    return;
  }
  out << path << ": would be written as:\n" << settings_text(plan.document);
}

void apply(const FilePlan& plan, std::ostream& out) {
  const std::string path = plan.file.path.string();
  const std::string kept =
      plan.file.existed ? ", the previous file kept as " + backup_path(plan.file.path).string()
                        : "";
  if (plan.remove_file) {
    remove_settings(plan.file);
    out << path << ": removed, nothing of it being left" << kept << "\n";
    return;
  }
  write_settings(plan.file, plan.document);
  out << path << ": written" << kept << "\n";
}

void carry_out(const FilePlan& plan, bool dry_run, std::ostream& out) {
  const std::string path = plan.file.path.string();
  if (plan.changes.empty()) {
    out << path << ": nothing to change\n";
    return;
  }
  for (const std::string& change : plan.changes) out << path << ": " << change << "\n";
  if (dry_run) {
    print_dry_run(plan, out);
  } else {
    apply(plan, out);
  }
}

// A user-level server started in many projects by a crv that keeps one data directory
// beside itself serves them all from one graph.
void note_shared_data(const SetupOptions& options, const Locations& locations, std::ostream& err) {
  if (!options.user || options.remove || installed_system_wide(locations.base_dir) ||
      process_env("CRV_DATA_DIR")) {
    return;
  }
  err << "crv setup: note: this crv keeps one graph, in " << locations.data_dir.string()
      << ", for every project that starts it; an installed crv keeps each project's graph in "
         "the project's "
      << PROJECT_DATA_FOLDER << "/ folder\n";
}

}  // namespace

int cmd_setup(const SetupOptions& options, const Locations& locations, const Streams& streams) {
  if (const auto problem = option_problem(options)) {
    streams.err << "crv: error: " << *problem << "\n";
    return STATUS_USAGE;
  }
  const CrvEntries entries = crv_entries(locations);
  std::vector<FilePlan> plans;
  for (const SettingsTarget& target :
       settings_targets(options, locations.default_root, process_env)) {
    plans.push_back(plan_file(target, entries, options.remove));
  }
  for (const FilePlan& plan : plans) carry_out(plan, options.dry_run, streams.out);
  note_shared_data(options, locations, streams.err);
  return STATUS_OK;
}

}  // namespace plinthar::query::setup

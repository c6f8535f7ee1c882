#pragma once

// `crv setup ASSISTANT`: crv's hooks and MCP server written into an assistant's settings
// (assistant_targets.hpp says where), merged with what is there; `--remove` takes out
// exactly those entries again. Running it twice changes nothing the second time.

#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"
#include "plinthar/query/setup/setup_options.hpp"

namespace plinthar::query::setup {

// Plans the change of every file first and writes only when all can be made, each after a
// backup beside it; prints one line per change, or with --dry-run the changes and the
// text each file would get, writing nothing.
int cmd_setup(const SetupOptions& options, const Locations& locations, const Streams& streams);

}  // namespace plinthar::query::setup

#pragma once

// `crv prime`: the markdown context block for a task given on the command line or in
// CRV_QUERY.

#include "plinthar/query/commands/prime_block.hpp"
#include "plinthar/query/commands/streams.hpp"
#include "plinthar/query/data/locations.hpp"

namespace plinthar::query {

// Loads the graph, retrieves for the query (--query, else CRV_QUERY, else the default
// task), reads the recent actions and prints the block; nothing is printed when any of
// these fails.
int cmd_prime(const PrimeOptions& options, const Locations& locations, const Streams& streams);

}  // namespace plinthar::query

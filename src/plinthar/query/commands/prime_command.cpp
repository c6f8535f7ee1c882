#include "plinthar/query/commands/prime_command.hpp"

#include <ostream>

#include "plinthar/error.hpp"

namespace plinthar::query {

int cmd_prime(const PrimeOptions& options, const Locations& locations, const Streams& streams) {
  PrimeOptions chosen = options;
  chosen.ranking.query = prime_query(options.ranking.query, process_env("CRV_QUERY"));
  const PrimeContent content = gather_prime(chosen, locations);
  streams.out << format_prime(content.query, content.result, content.actions);
  return STATUS_OK;
}

}  // namespace plinthar::query

// The two JSON-lines logs: the input is the text of action_events.jsonl or
// token_usage.jsonl. Every value read must print in the forms crv prints it: the action
// trail of the prime block, the stats text and the stats JSON.

#include <string>
#include <vector>

#include "fuzz_target.hpp"
#include "plinthar/error.hpp"
#include "plinthar/query/commands/prime_command.hpp"
#include "plinthar/query/commands/stats_command.hpp"
#include "plinthar/query/data/json_lines.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"
#include "plinthar/text/utf8.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace plinthar;
  const std::string_view text = fuzz::as_text(data, size);
  if (!text::is_valid_utf8(text)) return 0;  // crv refuses such a log
  const std::vector<text::Json> values = query::parse_json_lines(text);
  for (const std::int64_t limit : {std::int64_t{8}, std::int64_t{0}, std::int64_t{-2}}) {
    const std::vector<text::Json> actions = query::last_elements(values, limit);
    FUZZ_CHECK(actions.size() <= values.size());
    const std::string block = query::format_prime("query", {}, actions);
    FUZZ_CHECK(block.find("## Action Trail (Recent " + std::to_string(actions.size()) + ")") !=
               std::string::npos);
  }
  try {
    const text::Json summary = query::summarise_token_usage(values);
    query::format_stats_text(summary);
    const std::string pretty = text::to_pretty(summary);
    FUZZ_CHECK(text::parse_json(pretty) == summary);
  } catch (const Error&) {
    // A token count that is not an integer, or a total out of range: crv reports it.
  }
  return 0;
}

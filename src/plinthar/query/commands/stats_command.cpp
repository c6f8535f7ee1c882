#include "plinthar/query/commands/stats_command.hpp"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <utility>

#include "plinthar/error.hpp"
#include "plinthar/query/commands/value_text.hpp"
#include "plinthar/query/data/json_lines.hpp"
#include "plinthar/text/decimal_integer.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/json.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query {

namespace {

constexpr std::int64_t RECENT_TOKEN_EVENTS = 20;

[[noreturn]] void invalid_count(const text::Json& value) {
  throw Error("invalid total_tokens value: " + text::to_compact(value));
}

std::int64_t float_count(const text::Json& value) {
  const double number = std::trunc(value.get<double>());
  // 2^63 is exactly representable; anything from there up does not fit.
  if (!std::isfinite(number) || number >= 9223372036854775808.0 ||
      number < -9223372036854775808.0) {
    invalid_count(value);
  }
  return static_cast<std::int64_t>(number);
}

std::int64_t add_tokens(std::int64_t total, std::int64_t count) {
  std::int64_t sum = 0;
  if (__builtin_add_overflow(total, count, &sum)) throw Error("token total out of range");
  return sum;
}

}  // namespace

std::int64_t token_count(const text::Json& record) {
  if (!record.is_object()) return 0;
  const auto found = record.find("total_tokens");
  if (found == record.end()) return 0;
  const text::Json& value = *found;
  switch (value.type()) {
    case text::Json::value_t::number_integer:
      return value.get<std::int64_t>();
    case text::Json::value_t::number_unsigned:
      if (value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) invalid_count(value);
      return value.get<std::int64_t>();
    case text::Json::value_t::boolean:
      return value.get<bool>() ? 1 : 0;
    case text::Json::value_t::number_float:
      return float_count(value);
    case text::Json::value_t::string:
      if (const auto parsed = text::parse_decimal_integer(value.get_ref<const std::string&>())) {
        return *parsed;
      }
      invalid_count(value);
    default:
      invalid_count(value);
  }
}

text::Json summarise_token_usage(const std::vector<text::Json>& events) {
  std::int64_t total = 0;
  text::Json by_mode = text::Json::object();
  for (const text::Json& record : events) {
    const std::int64_t count = token_count(record);
    total = add_tokens(total, count);
    text::Json& mode_total = by_mode[printed_member(record, "mode", "unknown")];
    mode_total = add_tokens(mode_total.is_null() ? 0 : mode_total.get<std::int64_t>(), count);
  }
  text::Json summary = text::Json::object();
  summary["event_count"] = events.size();
  summary["total_tokens"] = total;
  summary["by_mode"] = std::move(by_mode);
  const auto first = last_elements_start(events.size(), RECENT_TOKEN_EVENTS);
  text::Json recent = text::Json::array();
  for (std::size_t i = first; i < events.size(); ++i) recent.push_back(events[i]);
  summary["recent"] = std::move(recent);
  return summary;
}

std::string format_stats_text(const text::Json& summary) {
  std::string text = "Events: " + text::to_compact(summary["event_count"]) + "\n";
  text += "Total tokens: " + text::to_compact(summary["total_tokens"]) + "\n";
  std::vector<std::pair<std::string, std::int64_t>> modes;
  for (auto it = summary["by_mode"].begin(); it != summary["by_mode"].end(); ++it) {
    modes.emplace_back(it.key(), it->get<std::int64_t>());
  }
  std::sort(modes.begin(), modes.end());
  for (const auto& [mode, count] : modes) {
    text += "- " + text::one_line(mode) + ": " + std::to_string(count) + "\n";
  }
  return text;
}

int cmd_stats(const StatsOptions& options, const Locations& locations, const Streams& streams) {
  const text::Json summary =
      summarise_token_usage(read_json_lines(locations.token_log, locations.data_links));
  if (options.json) {
    streams.out << text::to_pretty(summary) << "\n";
  } else {
    streams.out << format_stats_text(summary);
  }
  return STATUS_OK;
}

}  // namespace plinthar::query

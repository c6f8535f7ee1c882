#include "plinthar/query/commands/action_log_command.hpp"

#include <ostream>

#include "plinthar/error.hpp"
#include "plinthar/query/data/action_log.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query {

std::variant<text::Json, std::string> parse_meta(std::string_view text) {
  if (text.empty()) return text::Json::object();
  text::Json meta;
  try {
    meta = text::parse_json(text);
  } catch (const Error& error) {
    return std::string(error.what());
  }
  if (!meta.is_object()) return std::string("meta must be a JSON object");
  return meta;
}

int cmd_action_log(const ActionLogOptions& options, const Locations& locations,
                   const Streams& streams) {
  ensure_data_dir(locations);
  auto meta = parse_meta(options.meta);
  if (const auto* reason = std::get_if<std::string>(&meta)) {
    streams.err << "error: invalid --meta JSON: " << *reason << "\n";
    return STATUS_USAGE;
  }
  const text::Json record =
      make_action_record(format_timestamp(now_microseconds()), options.kind, options.summary,
                         std::move(std::get<text::Json>(meta)));
  append_line(locations.action_log, text::to_compact(record) + "\n", locations.data_links);
  streams.out << "ok\n";
  return STATUS_OK;
}

}  // namespace plinthar::query

#include "plinthar/query/mcp/record_action_tool.hpp"

#include "plinthar/query/data/action_log.hpp"
#include "plinthar/text/escapes.hpp"
#include "plinthar/text/json_writer.hpp"

namespace plinthar::query::mcp {

ToolResult record_action_tool(ProjectSession& session, const ToolArguments& arguments) {
  const Locations& locations = session.locations();
  const Json record =
      make_action_record(format_timestamp(now_microseconds()), arguments.text("kind"),
                         arguments.text("summary"), Json::object());
  ensure_data_dir(locations);
  append_line(locations.action_log, text::to_compact(record) + "\n", locations.data_links);
  Json structured = Json::object();
  for (const char* key : {"timestamp", "kind", "summary"}) structured[key] = record[key];
  return {"Recorded [" + text::one_line(record["kind"].get<std::string>()) + "] " +
              text::one_line(record["summary"].get<std::string>()) + "\n",
          std::move(structured), false};
}

}  // namespace plinthar::query::mcp

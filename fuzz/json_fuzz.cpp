// JSON text from the command line (--meta) and the JSON forms: the input is any text.
// What parses must write in both forms and read back to the same value, and any bytes
// written as a JSON string must read back as those bytes.

#include <string>
#include <variant>

#include "fuzz_target.hpp"
#include "plinthar/error.hpp"
#include "plinthar/query/commands/action_log_command.hpp"
#include "plinthar/query/data/action_log.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/json_writer.hpp"

namespace {

using namespace plinthar;

void check_round_trip(const text::Json& value) {
  const std::string compact = text::to_compact(value);
  const std::string pretty = text::to_pretty(value);
  FUZZ_CHECK(text::parse_json(compact) == value);
  FUZZ_CHECK(text::parse_json(pretty) == value);
  FUZZ_CHECK(text::to_compact(text::parse_json(pretty)) == compact);
  for (const char c : compact + pretty) FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = fuzz::as_text(data, size);

  auto meta = query::parse_meta(input);
  if (const auto* object = std::get_if<text::Json>(&meta)) {
    FUZZ_CHECK(object->is_object());
    check_round_trip(
        query::make_action_record("2024-01-01T00:00:00+00:00", input.substr(0, 8), input, *object));
  }
  if (const auto value = text::try_parse_json(input)) check_round_trip(*value);

  // Any bytes as a string: bytes that are not UTF-8 travel as \udc80..\udcff escapes,
  // which read back as the bytes.
  std::string written;
  text::write_json_string(input, written);
  const auto back = text::try_parse_json(written);
  FUZZ_CHECK(back && back->is_string() && back->get<std::string>() == input);
  return 0;
}

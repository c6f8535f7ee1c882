#pragma once

// Checks on the raw JSON tokens that simdjson's On-Demand reader hands out, so that the
// fast graph readers accept exactly what the general parser accepts and read it the same.

#include <optional>
#include <string_view>

#include <simdjson.h>

#include "plinthar/text/json.hpp"

namespace plinthar::query {

using text::Json;

// The text between the quotes of a string token (the token runs up to the next
// structural character, so it may carry white space after the closing quote), or nothing
// when the token does not have that shape.
std::optional<std::string_view> string_body(std::string_view token);

// Whether every escape of a string body is one the general parser reads as it stands: a
// known letter, or \u with four hex digits that is no surrogate or a whole pair. Lone
// surrogates are for the general parser, which reads some of them back as bytes.
bool has_plain_escapes(std::string_view body);

// The value of the JSON number `text` as the general parser makes it: an integer with a
// minus sign is signed (even -0), one without is unsigned, and a fraction, an exponent or
// an integer too large for 64 bits makes a double. False for what is not a number and for
// doubles out of range, which the general parser reports or rounds to zero itself.
bool number_from_text(std::string_view text, Json& out);

// `token` without the white space that may follow it.
std::string_view trim_token(std::string_view token);

// The key of `field`: viewed in the input when it has no escapes (nearly all keys),
// unescaped by simdjson otherwise. False when the key is not valid.
bool read_key(simdjson::ondemand::field& field, std::string_view& key);

// Runs `read_root(document, root)` on the top-level map of `text`. False when the text
// is not one map with nothing after it, or when `read_root` answers false.
template <typename ReadRoot>
bool read_top_level_map(simdjson::padded_string_view text, ReadRoot read_root) {
  simdjson::ondemand::parser parser;
  simdjson::ondemand::document document;
  simdjson::ondemand::object root;
  return parser.iterate(text).get(document) == simdjson::SUCCESS &&
         document.get_object().get(root) == simdjson::SUCCESS && read_root(document, root) &&
         document.current_location().error() == simdjson::OUT_OF_BOUNDS;
}

}  // namespace plinthar::query

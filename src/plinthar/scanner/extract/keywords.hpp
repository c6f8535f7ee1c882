#pragma once

// Cheap index terms for files and symbol names.

#include <string>
#include <string_view>
#include <vector>

namespace plinthar::scanner {

// Up to 80 lower-case keywords of a file's text; `ext` is the lower-cased extension.
std::vector<std::string> extract_keywords(std::string_view content, std::string_view ext);

// Up to 10 keywords of one symbol name.
std::vector<std::string> _name_keywords(std::string_view name);

// Camel-case words of an identifier that have at least 3 characters, lower-cased.
std::vector<std::string> _split_camel(std::string_view name);

}  // namespace plinthar::scanner

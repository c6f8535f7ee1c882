#include "plinthar/scanner/keywords.hpp"

namespace plinthar::scanner {

std::vector<std::string> extract_keywords(std::string_view, std::string_view) { return {}; }

std::vector<std::string> _name_keywords(std::string_view) { return {}; }

std::vector<std::string> _split_camel(std::string_view) { return {}; }

}  // namespace plinthar::scanner

#include "plinthar/query/rank/hybrid/class_damping.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "plinthar/index/term_stats.hpp"
#include "plinthar/query/rank/hybrid/constants.hpp"
#include "plinthar/scanner/discovery.hpp"
#include "plinthar/scanner/stats/file_facts.hpp"
#include "plinthar/text/ascii.hpp"

namespace plinthar::query::hybrid {

namespace {

constexpr std::array<std::string_view, 5> CHANGELOG_STEMS = {"changelog", "changes", "history",
                                                             "news", "releases"};
constexpr std::array<std::string_view, 4> CHANGELOG_EXTS = {"", ".md", ".rst", ".txt"};

bool all_lower(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return text::is_ascii_lower(static_cast<unsigned char>(c)); });
}

// A language folder: en, ja, zh-cn, pt_br, es-es.
bool is_language_folder(std::string_view name) {
  if (name.size() == 2) return all_lower(name);
  return name.size() >= 5 && name.size() <= 7 && all_lower(name.substr(0, 2)) &&
         (name[2] == '-' || name[2] == '_') && all_lower(name.substr(3));
}

}  // namespace

FileClass file_class(std::string_view id) {
  thread_local std::string path;  // one buffer for the files of a ranking
  path.assign(id);
  text::lower_ascii_in_place(path);
  if (path.starts_with(".github/")) return FileClass::TEMPLATE;
  const std::size_t slash = path.rfind('/');
  const std::string_view name =
      std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
  const std::string_view stem = scanner::without_extension(name);
  const std::string_view ext = scanner::file_extension(name);
  if (std::find(CHANGELOG_STEMS.begin(), CHANGELOG_STEMS.end(), stem) != CHANGELOG_STEMS.end() &&
      std::find(CHANGELOG_EXTS.begin(), CHANGELOG_EXTS.end(), ext) != CHANGELOG_EXTS.end()) {
    return FileClass::CHANGELOG;
  }
  if (ext != ".md") return FileClass::OTHER;
  if (stem.starts_with("readme")) return FileClass::DOCS;
  const std::size_t first = path.find('/');
  const std::size_t second = first == std::string::npos ? first : path.find('/', first + 1);
  if (second == std::string::npos) return FileClass::OTHER;
  const std::string_view top = std::string_view(path).substr(0, first);
  const std::string_view folder = std::string_view(path).substr(first + 1, second - first - 1);
  return (top == "docs" || top == "doc") && is_language_folder(folder) ? FileClass::DOCS
                                                                       : FileClass::OTHER;
}

bool is_damped(std::string_view id, std::uint8_t facts, const HybridQuery& query) {
  if (query.terms.size() < LONG_TASK_TERMS) return false;
  switch (file_class(id)) {
    case FileClass::TEMPLATE:
      if (!query.wants_templates) return true;
      break;
    case FileClass::CHANGELOG:
      if (!query.wants_changelog && !query.wants_version) return true;
      break;
    case FileClass::DOCS:
      if (!query.wants_docs) return true;
      break;
    case FileClass::OTHER:
      break;
  }
  return (facts & index::FACT_TEST) != 0 && !query.wants_tests;
}

}  // namespace plinthar::query::hybrid

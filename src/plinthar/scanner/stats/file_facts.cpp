#include "plinthar/scanner/stats/file_facts.hpp"

#include <algorithm>
#include <array>

#include "plinthar/index/term_stats.hpp"
#include "plinthar/scanner/discovery.hpp"
#include "plinthar/text/ascii.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/unicode.hpp"
#include "plinthar/text/words.hpp"

namespace plinthar::scanner {

namespace {

constexpr std::array<std::string_view, 4> TEST_DIRS = {"/test/", "/tests/", "/__tests__/",
                                                       "/testsuite/"};
constexpr std::array<std::string_view, 2> TEST_PREFIXES = {"test_", "tests_"};
constexpr std::array<std::string_view, 6> TEST_SUFFIXES = {"_test", "_tests", ".test",
                                                           ".spec", "-test",  "-spec"};
constexpr std::array<std::string_view, 7> SOURCE_EXTENSIONS = {".py",  ".ts", ".tsx",  ".js",
                                                               ".jsx", ".go", ".swift"};

std::string ascii_lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = text::ascii_lower(static_cast<unsigned char>(c));
  return out;
}

template <std::size_t N>
bool is_one_of(std::string_view word, const std::array<std::string_view, N>& words) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

std::string_view file_name(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string_view without_extension(std::string_view path) {
  return path.substr(0, path.size() - file_extension(path).size());
}

std::string_view parent_directory(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
}

// Extensions hold ASCII letters only, so lowering them in ASCII decides as Unicode
// lowering would.
FileKind file_kind(std::string_view path) {
  const std::string ext = ascii_lowered(file_extension(path));
  if (ext == ".md") return FileKind::doc;
  if (ext == ".json" || ext == ".yaml" || ext == ".yml") return FileKind::config;
  return FileKind::source;
}

bool has_source_extension(std::string_view path) {
  return is_one_of(ascii_lowered(file_extension(path)), SOURCE_EXTENSIONS);
}

bool is_test_file(std::string_view path) {
  std::string buffer;
  const std::string lower = "/" + std::string(text::lowered(path, buffer));
  if (std::any_of(TEST_DIRS.begin(), TEST_DIRS.end(),
                  [&](std::string_view dir) { return lower.find(dir) != std::string::npos; })) {
    return true;
  }
  const std::string_view name = without_extension(file_name(lower));
  return std::any_of(TEST_PREFIXES.begin(), TEST_PREFIXES.end(),
                     [&](std::string_view prefix) { return name.starts_with(prefix); }) ||
         std::any_of(TEST_SUFFIXES.begin(), TEST_SUFFIXES.end(),
                     [&](std::string_view suffix) { return name.ends_with(suffix); });
}

std::string bare_stem(std::string_view path) {
  std::string buffer;
  std::string_view name = without_extension(text::lowered(file_name(path), buffer));
  for (const std::string_view prefix : TEST_PREFIXES) {
    if (name.starts_with(prefix)) {
      name.remove_prefix(prefix.size());
      break;
    }
  }
  for (const std::string_view suffix : TEST_SUFFIXES) {
    if (name.ends_with(suffix)) {
      name.remove_suffix(suffix.size());
      break;
    }
  }
  std::string joined;
  for (const char c : name) {
    if (c != '_' && c != '-') joined.push_back(c);
  }
  return text::stem(joined);
}

bool declares_version(std::string_view content) {
  static const text::Regex declaration(
      R"(^[ \t]*(?:"version"[ \t]*:|__version__[ \t]*=|version[ \t]*=)[ \t]*["'])",
      text::MULTILINE | text::IGNORECASE);
  return declaration.search(content).has_value();
}

std::uint8_t file_facts(std::string_view id, std::string_view content) {
  std::uint8_t facts = 0;
  const FileKind kind = file_kind(id);
  if (kind == FileKind::doc) facts |= index::FACT_DOC;
  if (kind == FileKind::config) facts |= index::FACT_CONFIG;
  if (is_test_file(id)) facts |= index::FACT_TEST;
  if (declares_version(content)) facts |= index::FACT_VERSION;
  if (has_source_extension(id)) facts |= index::FACT_SOURCE;
  return facts;
}

}  // namespace plinthar::scanner

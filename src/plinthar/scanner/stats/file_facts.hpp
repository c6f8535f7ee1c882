#pragma once

// What a file's name and text alone say of it: its kind (documentation, configuration or
// source), whether it is a test, the stem that pairs a module with its test and its
// other layers, and whether it declares a version. The term statistics keep these as
// facts; what they are worth is the ranking's to say.

#include <cstdint>
#include <string>
#include <string_view>

namespace plinthar::scanner {

// `path` without file_extension(path) (discovery.hpp).
std::string_view without_extension(std::string_view path);

// The directory part of `path` ("" for a name at the top).
std::string_view parent_directory(std::string_view path);

enum class FileKind : unsigned char { source = 0, doc = 1, config = 2 };

// doc for ".md", config for ".json", ".yaml" and ".yml" (in any case), source otherwise.
FileKind file_kind(std::string_view path);

// Whether a source extension (".py", ".ts", ".tsx", ".js", ".jsx", ".go", ".swift").
bool has_source_extension(std::string_view path);

// A file under a test, tests, __tests__ or testsuite folder, or named test_*, tests_*,
// *_test, *_tests, *.test, *.spec, *-test or *-spec.
bool is_test_file(std::string_view path);

// The file name lower-cased, without extension, one test prefix and one test suffix, "_"
// and "-", stemmed: order_table.py, OrderTable.tsx and test_order_tables.py all give
// ordertabl.
std::string bare_stem(std::string_view path);

// Whether `content` has a line declaring a version: "version": "..., __version__ = "...,
// version = '... (a package.json, a package's __init__.py, a setup.py).
bool declares_version(std::string_view content);

// The facts of the file `id` whose text is `content`: the FACT_ bits of
// index/term_stats.hpp.
std::uint8_t file_facts(std::string_view id, std::string_view content);

}  // namespace plinthar::scanner

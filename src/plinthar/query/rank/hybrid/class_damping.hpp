#pragma once

// Classes of file that a long task names by accident: its issue template, the change
// log, read-mes and docs in other languages, tests. Their own score is damped unless the
// task's words ask for that class.

#include <cstdint>
#include <string_view>

#include "plinthar/query/rank/hybrid/hybrid_query.hpp"

namespace plinthar::query::hybrid {

enum class FileClass { OTHER, TEMPLATE, CHANGELOG, DOCS };

// The class of a file by its id: TEMPLATE below .github/, CHANGELOG for a file named
// changelog, changes, history, news or releases (without extension, or .md, .rst, .txt),
// DOCS for a Markdown read-me or a
// Markdown file below docs/<language>/ (en, zh-cn, pt_br).
FileClass file_class(std::string_view id);

// True when the file's own score is to be damped for `query`: a long task (LONG_TASK_TERMS
// terms or more) not asking for the file's class. `facts` are the file's facts in the
// statistics (a test file is damped unless the task asks for tests).
bool is_damped(std::string_view id, std::uint8_t facts, const HybridQuery& query);

}  // namespace plinthar::query::hybrid

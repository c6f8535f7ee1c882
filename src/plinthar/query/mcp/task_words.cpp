#include "plinthar/query/mcp/task_words.hpp"

#include "plinthar/text/words.hpp"

namespace plinthar::query::mcp {
namespace {

bool is_run_char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return text::is_ascii_lower(byte) || text::is_ascii_upper(byte) || text::is_ascii_digit(byte) ||
         c == '_';
}

}  // namespace

TaskWords::TaskWords(std::string_view task) {
  text::WordSplitter splitter;
  const auto remember = [&](std::string_view written) {
    splitter.for_each(written, [&](std::string_view term) {
      words_.try_emplace(std::string(term), std::string(written));
    });
  };
  std::size_t i = 0;
  while (i < task.size()) {
    if (!is_run_char(task[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < task.size() && is_run_char(task[end])) ++end;
    const std::string_view run = task.substr(i, end - i);
    // Parts first, so that each part's term names the part; the run names what is left
    // (the whole-run term).
    for (std::size_t start = 0; start <= run.size();) {
      std::size_t stop = run.find('_', start);
      if (stop == std::string_view::npos) stop = run.size();
      text::split_camel(run.substr(start, stop - start), remember);
      start = stop + 1;
    }
    remember(run);
    i = end;
  }
}

std::string TaskWords::word_of(const std::string& term) const {
  const auto found = words_.find(term);
  return found == words_.end() ? term : found->second;
}

}  // namespace plinthar::query::mcp

#include "plinthar/text/regex.hpp"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <string>
#include <utility>
#include <vector>

#include <pcre2.h>

#include "plinthar/error.hpp"

namespace plinthar::text {

// The compiled pattern is only read while matching, so one serves every thread; what a
// match writes (the match data, the JIT stack) belongs to the thread that runs it.
struct Regex::Compiled {
  pcre2_code* code = nullptr;
  std::uint32_t group_count = 0;
};

namespace {

std::uint32_t compile_options(unsigned flags) {
  // ALT_CIRCUMFLEX lets a MULTILINE "^" match after a final "\n" as well.
  std::uint32_t options = PCRE2_UTF | PCRE2_UCP | PCRE2_NO_UTF_CHECK | PCRE2_ALT_CIRCUMFLEX;
  if (flags & IGNORECASE) options |= PCRE2_CASELESS;
  if (flags & MULTILINE) options |= PCRE2_MULTILINE;
  if (flags & DOTALL) options |= PCRE2_DOTALL;
  return options;
}

// What the matches of one thread write, shared by all its patterns: the match data
// (room for the offsets of MAX_REGEX_GROUPS groups, and the interpreter's frames) and a
// JIT stack larger than the 32 KiB default, so that a repeated group over thousands of
// repetitions (a long run of modifiers before a declaration) still matches instead of
// failing with a stack-limit error. PCRE2 lets no two threads use one JIT stack or one
// match data at once; each thread of a parallel scan so has its own.
struct ThreadMatchState {
  pcre2_match_data* match_data = pcre2_match_data_create(MAX_REGEX_GROUPS + 1, nullptr);
  pcre2_jit_stack* stack = pcre2_jit_stack_create(32 * 1024, 8 * 1024 * 1024, nullptr);
  pcre2_match_context* context = pcre2_match_context_create(nullptr);
  ThreadMatchState() {
    if (stack != nullptr && context != nullptr) pcre2_jit_stack_assign(context, nullptr, stack);
  }
  ~ThreadMatchState() {
    pcre2_match_context_free(context);
    pcre2_jit_stack_free(stack);
    pcre2_match_data_free(match_data);
  }
  ThreadMatchState(const ThreadMatchState&) = delete;
  ThreadMatchState& operator=(const ThreadMatchState&) = delete;
};

ThreadMatchState& thread_match_state() {
  thread_local ThreadMatchState state;
  if (state.match_data == nullptr) throw Error("out of memory for a pattern search");
  return state;
}

// The match context of the retry without the JIT: the interpreter keeps its backtracking
// frames on the heap, given room up to 256 MiB (PCRE2's default is 20 MiB). Matching only
// reads a context, so all threads share this one.
pcre2_match_context* retry_match_context() {
  struct Context {
    pcre2_match_context* context = pcre2_match_context_create(nullptr);
    Context() {
      if (context != nullptr) pcre2_set_heap_limit(context, 256 * 1024);  // in KiB
    }
    ~Context() { pcre2_match_context_free(context); }
  };
  static const Context retry;
  return retry.context;
}

std::string match_error(int code) {
  PCRE2_UCHAR buffer[256];
  pcre2_get_error_message(code, buffer, sizeof buffer);
  return reinterpret_cast<const char*>(buffer);
}

thread_local std::vector<std::string> unfinished_searches;

std::string compile_error(std::string_view pattern, int code, PCRE2_SIZE offset) {
  PCRE2_UCHAR buffer[256];
  pcre2_get_error_message(code, buffer, sizeof buffer);
  return "invalid regular expression '" + std::string(pattern) + "' at offset " +
         std::to_string(offset) + ": " + reinterpret_cast<const char*>(buffer);
}

}  // namespace

std::string_view RegexMatch::group(std::size_t index) const {
  if (!matched(index)) return {};
  return subject_.substr(start(index), end(index) - start(index));
}

bool RegexMatch::matched(std::size_t index) const {
  return 2 * index + 1 < offsets_.size() && offsets_[2 * index] != PCRE2_UNSET;
}

Regex::Regex(std::string_view pattern, unsigned flags)
    : pattern_(pattern), compiled_(std::make_unique<Compiled>()) {
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  pcre2_set_newline(context, PCRE2_NEWLINE_LF);
  int error = 0;
  PCRE2_SIZE offset = 0;
  compiled_->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                  compile_options(flags), &error, &offset, context);
  pcre2_compile_context_free(context);
  if (compiled_->code == nullptr) throw Error(compile_error(pattern, error, offset));
  pcre2_jit_compile(compiled_->code, PCRE2_JIT_COMPLETE);  // falls back to the interpreter
  pcre2_pattern_info(compiled_->code, PCRE2_INFO_CAPTURECOUNT, &compiled_->group_count);
  if (compiled_->group_count > MAX_REGEX_GROUPS) {
    pcre2_code_free(compiled_->code);
    throw Error("regular expression '" + std::string(pattern) + "' has more than " +
                std::to_string(MAX_REGEX_GROUPS) + " groups");
  }
}

Regex::~Regex() { pcre2_code_free(compiled_->code); }

std::optional<RegexMatch> Regex::run(std::string_view text, std::size_t from,
                                     std::uint32_t options) const {
  const auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
  options |= PCRE2_NO_UTF_CHECK;
  const ThreadMatchState& state = thread_match_state();
  int result = pcre2_match(compiled_->code, subject, text.size(), from, options, state.match_data,
                           state.context);
  if (result < 0 && result != PCRE2_ERROR_NOMATCH) {
    // A resource limit (JIT stack, match or depth limit, memory): once more with the
    // interpreter and more heap, which outlasts the JIT's fixed stack.
    result = pcre2_match(compiled_->code, subject, text.size(), from, options | PCRE2_NO_JIT,
                         state.match_data, retry_match_context());
  }
  if (result == PCRE2_ERROR_NOMATCH) return std::nullopt;
  if (result < 0) {
    // Still no answer: this search ends as if nothing followed, so the matches found
    // before it stand, and the caller learns of it from take_unfinished_searches.
    unfinished_searches.push_back("search for '" + pattern_ + "' from byte " +
                                  std::to_string(from) + " stopped: " + match_error(result));
    return std::nullopt;
  }
  // Copied out at once: the next search on this thread, of any pattern, overwrites them.
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(state.match_data);
  RegexMatch::Offsets offsets;
  offsets.fill(PCRE2_UNSET);
  // A result of 0 means the ovector was too small, which the group limit rules out.
  const std::size_t set = result == 0 ? offsets.size() / 2 : static_cast<std::size_t>(result);
  for (std::size_t i = 0; i < 2 * set; ++i) offsets[i] = ovector[i];
  return RegexMatch(text, offsets);
}

std::optional<RegexMatch> Regex::next_match(std::string_view text, std::size_t from,
                                            bool after_empty) const {
  if (!after_empty) return run(text, from, 0);
  // After an empty match, first look for a non-empty match at the same place, then
  // move on by one code point.
  if (auto found = run(text, from, PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED)) return found;
  if (from >= text.size()) return std::nullopt;
  std::size_t next = from + 1;
  while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80) ++next;
  return run(text, next, 0);
}

std::optional<RegexMatch> Regex::search(std::string_view text, std::size_t from) const {
  if (from > text.size()) return std::nullopt;
  return run(text, from, 0);
}

std::optional<RegexMatch> Regex::match(std::string_view text) const {
  return run(text, 0, PCRE2_ANCHORED);
}

std::vector<RegexMatch> Regex::find_iter(std::string_view text) const {
  std::vector<RegexMatch> matches;
  for_each(text, [&](const RegexMatch& found) {
    matches.push_back(found);
    return true;
  });
  return matches;
}

std::vector<std::string_view> Regex::find_all(std::string_view text) const {
  std::vector<std::string_view> matches;
  for_each(text, [&](const RegexMatch& found) {
    matches.push_back(found.group());
    return true;
  });
  return matches;
}

std::vector<std::string_view> Regex::split(std::string_view text) const {
  std::vector<std::string_view> pieces;
  std::size_t piece_start = 0;
  for_each(text, [&](const RegexMatch& found) {
    pieces.push_back(text.substr(piece_start, found.start() - piece_start));
    piece_start = found.end();
    return true;
  });
  pieces.push_back(text.substr(piece_start));
  return pieces;
}

namespace {

void append_replacement(std::string& out, std::string_view replacement, const RegexMatch& found) {
  for (std::size_t i = 0; i < replacement.size(); ++i) {
    const char c = replacement[i];
    if (c == '\\' && i + 1 < replacement.size() && replacement[i + 1] >= '0' &&
        replacement[i + 1] <= '9') {
      out.append(found.group(static_cast<std::size_t>(replacement[i + 1] - '0')));
      ++i;
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

std::string Regex::sub(std::string_view replacement, std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  std::size_t copied = 0;
  for_each(text, [&](const RegexMatch& found) {
    out.append(text.substr(copied, found.start() - copied));
    append_replacement(out, replacement, found);
    copied = found.end();
    return true;
  });
  out.append(text.substr(copied));
  return out;
}

std::vector<std::string> take_unfinished_searches() {
  return std::exchange(unfinished_searches, {});
}

}  // namespace plinthar::text

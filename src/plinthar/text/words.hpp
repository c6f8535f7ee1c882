#pragma once

// The terms of a text as the hybrid ranking matches them, the same for a project's files
// and for a task: every run of ASCII letters, digits and "_" is split at "_" and at case
// changes (getUserById: get, user, by, id; HTTPServer: http, server), its parts lower-cased
// and lightly stemmed (created, creates, creating: creat), stop words and single
// characters dropped; a run of several parts also gives itself whole (JSONMixin:
// jsonmixin), so that a name written in one piece still meets the words of the task.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "plinthar/text/ascii.hpp"

namespace plinthar::text {

// Shortest part kept: two characters keep ui, db and id.
inline constexpr std::size_t MIN_WORD_PART = 2;

// Whether `word` (lower case) is a word with no search meaning in a task: articles,
// pronouns, auxiliaries and the common commit verbs (add, fix, update ...) with their
// inflected forms.
bool is_stop_word(std::string_view word);

// `word` with one plural, -ing or -ed ending taken off, then a final "e" of a longer
// word: create, creates, created, creating all give creat; policies gives policy. Lengths
// count code points.
std::string stem(std::string_view word);

// Calls `emit(part)` for each part of an ASCII letter and digit run, left to right: runs
// of digits, runs of lower-case letters, and runs starting at capitals (a single capital
// takes the lower-case letters after it, Server; a run of capitals before a lower-case
// letter leaves its last one to the next part, HTTP then Server).
template <typename Emit>
void split_camel(std::string_view piece, Emit&& emit) {
  std::size_t i = 0;
  const std::size_t n = piece.size();
  const auto at = [&piece](std::size_t k) { return static_cast<unsigned char>(piece[k]); };
  while (i < n) {
    std::size_t j = i + 1;
    if (is_ascii_digit(at(i))) {
      while (j < n && is_ascii_digit(at(j))) ++j;
    } else if (is_ascii_lower(at(i))) {
      while (j < n && is_ascii_lower(at(j))) ++j;
    } else {
      while (j < n && is_ascii_upper(at(j))) ++j;
      if (j - i == 1) {
        while (j < n && is_ascii_lower(at(j))) ++j;
      } else if (j < n && is_ascii_lower(at(j))) {
        --j;
      }
    }
    emit(piece.substr(i, j - i));
    i = j;
  }
}

// Produces the terms of texts, reusing its buffers across calls.
class WordSplitter {
 public:
  // Calls `emit(term)` for every term of `text` in order; the view is valid during the
  // call only.
  template <typename Emit>
  void for_each(std::string_view text, Emit&& emit) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
      if (!is_run_char(text[i])) {
        ++i;
        continue;
      }
      std::size_t end = i + 1;
      while (end < n && is_run_char(text[end])) ++end;
      split_run(text.substr(i, end - i), emit);
      i = end;
    }
  }

  // The terms of `text` in order.
  std::vector<std::string> words(std::string_view text);

 private:
  static bool is_run_char(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return is_ascii_lower(byte) || is_ascii_upper(byte) || is_ascii_digit(byte) || c == '_';
  }

  template <typename Emit>
  void split_run(std::string_view run, Emit& emit) {
    std::size_t parts = 0;
    std::size_t start = 0;
    while (start <= run.size()) {
      std::size_t stop = run.find('_', start);
      if (stop == std::string_view::npos) stop = run.size();
      split_camel(run.substr(start, stop - start), [&](std::string_view part) {
        ++parts;
        if (keep_part(part)) emit(std::string_view(part_));
      });
      start = stop + 1;
    }
    if (parts > 1) {
      whole_.clear();
      for (const char c : run) {
        if (c != '_') whole_.push_back(ascii_lower(static_cast<unsigned char>(c)));
      }
      emit(std::string_view(whole_));
    }
  }

  // Lower-cases and stems `part` into part_ when it is kept.
  bool keep_part(std::string_view part);

  std::string part_;
  std::string whole_;
};

// The terms of `text` in order (a splitter of its own).
std::vector<std::string> words(std::string_view text);

// The plain words of `text`, for reading what a task asks for rather than matching it:
// its runs of ASCII letters and digits ("_" and everything else separate them),
// lower-cased, neither split at case changes nor stemmed; distinct and sorted.
std::vector<std::string> plain_words(std::string_view text);

}  // namespace plinthar::text

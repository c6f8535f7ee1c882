#pragma once

// Every constant of the hybrid ranking, each with the measurement that chose it. They
// were chosen on the tuning sample of bench/relevance (seed "tune", 150 commits each of
// two projects), varying one at a time with the others at their final values; the
// numbers are mean recall@12 there (bench/relevance/DESIGN.md has the whole table).
//
// The reference model in Python (bench/relevance/hybrid_model.py) reads its constants
// from this file: keep one definition a line, `inline constexpr TYPE NAME = VALUE;`.

#include <cstddef>
#include <cstdint>

namespace plinthar::query::hybrid {

// Field weights of the BM25F text score (path 1, 2, 3, 5: 0.899, 0.900, 0.900, 0.900;
// symbols 0, 1, 3: 0.900, kept at the text's weight so that names past the stored text
// still count; the text is the unit).
inline constexpr double W_PATH = 3.0;
inline constexpr double W_SYMBOL = 1.0;
inline constexpr double W_CONTENT = 1.0;
// Length normalisation (path 0, 0.3, 0.7: 0.900; symbols 0, 0.5, 1: 0.900; text 0.3,
// 0.5, 0.75, 0.9: 0.893, 0.900, 0.895, 0.891).
inline constexpr double B_PATH = 0.3;
inline constexpr double B_SYMBOL = 0.5;
inline constexpr double B_CONTENT = 0.5;
// Term saturation: 0.8, 1.2, 2, 3: 0.888, 0.900, 0.903, 0.893 (the usual value kept).
inline constexpr double K1 = 1.2;
// Terms of a "type(scope):" prefix of the task: 1, 2, 3: 0.898, 0.900, 0.900; the others
// weigh 1.
inline constexpr double SCOPE_WEIGHT = 2.0;
inline constexpr double TERM_WEIGHT = 1.0;
// Weight of the size prior ln(1 + min(size, PRIOR_CAP) / 1000): 0, 0.1, 0.2, 0.3: 0.836,
// 0.895, 0.900, 0.890.
inline constexpr double PRIOR = 0.2;
// Sizes above this many bytes count as this much in the prior, so that lock files and
// data fixtures stay below a single good term match: 24,000, 50,000, 100,000 and
// uncapped: 0.892, 0.896, 0.900, 0.900.
inline constexpr std::int64_t PRIOR_CAP = 100000;
// Share of the best text score among the files a file imports or is imported by: 0,
// 0.1, 0.2, 0.4: 0.888, 0.900, 0.895, 0.885.
inline constexpr double PROP_IMPORT = 0.1;
// Share of the best text score among its same-named companions: 0, 0.2, 0.4: 0.896,
// 0.900, 0.890.
inline constexpr double PROP_COMPANION = 0.2;
// Source files sharing a bare stem pair up when there are at most this many of them: 2,
// 4, 8 and 16 all measured 0.900; 8 lets the layers of one feature of a web application
// pair. Stems shorter than COMPANION_STEM_MIN characters pair nothing.
inline constexpr std::size_t COMPANION_GROUP_MAX = 8;
inline constexpr std::size_t COMPANION_STEM_MIN = 3;
// Files declaring a version, for a version task: 0, 1, 2, 4: 0.888, 0.900, 0.900, 0.900.
inline constexpr double VERSION_BOOST = 2.0;
// Markdown files for a docs task: 0, 1, 2: 0.899, 0.900, 0.900.
inline constexpr double DOC_WORD_BOOST = 1.0;
// .json/.yaml/.yml files for a dependency, CI or config task: 0, 1, 2, 4: 0.884, 0.893,
// 0.900, 0.899.
inline constexpr double CONFIG_WORD_BOOST = 2.0;
// Test files for a test task: 0, 1, 2: 0.895, 0.900, 0.899.
inline constexpr double TEST_BOOST = 1.0;
// Per point of the classic capability boost (6 or more): the development projects have
// no capability index; 0.5 makes the weakest match worth a strong text match.
inline constexpr double CAP_WEIGHT = 0.5;

// Signals for long tasks (issue reports: prose, code, tracebacks). Measured on the tuning
// half of the development issues (bench/relevance/issues.py --sample tune, 52 tasks) as
// Acc@1 / Acc@5 / recall@12 of its tasks, each varied at the stage named, the others as
// they stood then (before LONG_TASK_TERMS unless it says so); bench/relevance/DESIGN.md,
// section 11, has the ablation of the final ranking.
//
// A term the task repeats weighs 1 + QTF_LOG * ln(min(count, QTF_CAP)): without it 0.327
// / 0.462 / 0.723; log 0.5 cap 3: 0.346 / 0.481 / 0.750; 1 and 3: 0.385 / 0.481 / 0.748;
// 1 and 5: 0.404 / 0.500 / 0.748; 1 and 10: 0.404 / 0.500 / 0.729; 1.5 and 5: 0.462 /
// 0.519 / 0.730 (kept at 1: recall fell). Final ranking: 0.385 / 0.500 / 0.734.
inline constexpr double QTF_LOG = 1.0;
inline constexpr std::uint32_t QTF_CAP = 5;
// The own score of an issue template, change log, read-me, translated doc or test file,
// unless the task asks for that kind of file: 1 (none), 0.5, 0.3, 0.2, 0.1: 0.135 / 0.212
// / 0.487 (alone), 0.173 / 0.404 / 0.632, 0.212 / 0.423 / 0.679, 0.404 / 0.500 / 0.748
// (with the others), 0.212 / 0.423 / 0.675.
inline constexpr double CLASS_DAMP = 0.3;
// Only a task of this many distinct terms or more is damped so: a commit subject that
// names a test or the read-me means it (damping every task cost the commit histories
// 0.894 -> 0.819 on flask, 0.801 -> 0.685 on astroid).
inline constexpr std::size_t LONG_TASK_TERMS = 12;
// A file the task names by path, file name or dotted module gains this share of the best
// text score: 0 (alone), 0.5, 1, 2: 0.135 / 0.212 / 0.487, 0.250 / 0.308 / 0.576, 0.288
// / 0.346 / 0.575, and with the damping 1 and 2 both 0.327 / 0.462 / 0.723; 0.7 with
// the others: 0.423 / 0.481 / 0.748 against 0.404 / 0.500 / 0.748.
inline constexpr double NAMED_FILE_SHARE = 1.0;
// A name fitting more files than this (index, utils) names none.
inline constexpr std::size_t NAMED_MAX_FILES = 4;
// A path names its files by its last components, at most this many (so that one long
// token costs linear time).
inline constexpr std::size_t NAMED_MAX_COMPONENTS = 8;
// The integer score keeps three decimals of the float score.
inline constexpr double SCORE_SCALE = 1000.0;

}  // namespace plinthar::query::hybrid

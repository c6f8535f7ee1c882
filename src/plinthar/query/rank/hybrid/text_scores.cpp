#include "plinthar/query/rank/hybrid/text_scores.hpp"

#include <algorithm>
#include <cmath>

#include "plinthar/query/rank/hybrid/constants.hpp"

namespace plinthar::query::hybrid {

namespace {

constexpr double FIELD_WEIGHT[index::TERM_FIELDS] = {W_PATH, W_SYMBOL, W_CONTENT};
constexpr double FIELD_B[index::TERM_FIELDS] = {B_PATH, B_SYMBOL, B_CONTENT};

double inverse_document_frequency(std::size_t files, std::uint32_t df) {
  return std::log(1.0 + (static_cast<double>(files - df) + 0.5) / (static_cast<double>(df) + 0.5));
}

// A term the task repeats weighs more, up to a cap.
double repetition_weight(const WeightedTerm& term) {
  const std::uint32_t count = std::min(std::max<std::uint32_t>(term.count, 1), QTF_CAP);
  return term.weight * (1.0 + QTF_LOG * std::log(static_cast<double>(count)));
}

}  // namespace

TextScores text_scores(const index::TermStats& stats, const HybridQuery& query) {
  const std::size_t files = stats.file_count();
  TextScores out{std::vector<double>(files, 0.0), {}};
  std::vector<char> is_matched(files, 0);
  double average[index::TERM_FIELDS];
  for (std::size_t f = 0; f < index::TERM_FIELDS; ++f) average[f] = stats.average_length(f);
  for (const WeightedTerm& term : query.terms) {
    const std::uint32_t df = stats.document_frequency(term.term);
    if (df == 0) continue;
    const double idf = repetition_weight(term) * inverse_document_frequency(files, df);
    stats.for_each_posting(term.term, [&](const index::Posting& posting) {
      double tf = 0.0;
      for (std::size_t f = 0; f < index::TERM_FIELDS; ++f) {
        const std::uint32_t count = posting.count[f];
        if (count == 0) continue;
        const double length = stats.length(posting.file, f);
        tf += FIELD_WEIGHT[f] * count / (1.0 - FIELD_B[f] + FIELD_B[f] * length / average[f]);
      }
      out.score[posting.file] += idf * tf / (K1 + tf);
      if (!is_matched[posting.file]) {
        is_matched[posting.file] = 1;
        out.matched.push_back(posting.file);
      }
    });
  }
  return out;
}

}  // namespace plinthar::query::hybrid

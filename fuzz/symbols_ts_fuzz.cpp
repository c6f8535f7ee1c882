// TypeScript and JavaScript symbol extraction: the input is the bytes of a .ts file,
// decoded as a scan decodes them. The linear-time scanner for exported arrow constants
// must report exactly what the plain pattern reports.

#include "fuzz_target.hpp"
#include "pattern_spans.hpp"
#include "plinthar/scanner/extract/symbols_ts.hpp"
#include "plinthar/text/regex.hpp"
#include "plinthar/text/utf8.hpp"
#include "symbol_checks.hpp"

namespace {

using namespace plinthar;

// Texts longer than this skip the comparison: the plain pattern backtracks.
constexpr std::size_t MAX_COMPARED_BYTES = 8192;

const text::Regex& plain_arrow_constants() {
  static const text::Regex plain(
      R"(^export\s+(?:const|let)\s+([A-Za-z_]\w*)\s*=\s*(?:async\s+)?(?:function|\([^)]*\)\s*=>|\w+\s*=>))",
      text::MULTILINE);
  return plain;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = text::decode_text(fuzz::as_text(data, size));
  fuzz::check_symbols(scanner::extract_symbols_ts(text, "web/mod.ts"), "web/mod.ts");
  if (text.size() <= MAX_COMPARED_BYTES) {
    FUZZ_CHECK(fuzz::spans_of(text, scanner::find_arrow_constants(text)) ==
               fuzz::plain_spans(plain_arrow_constants(), text));
  }
  return 0;
}

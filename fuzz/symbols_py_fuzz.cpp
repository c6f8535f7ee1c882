// Python symbol extraction: the input is the bytes of a .py file, decoded as a scan
// decodes them.

#include "fuzz_target.hpp"
#include "plinthar/scanner/extract/symbols_py.hpp"
#include "plinthar/text/utf8.hpp"
#include "symbol_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace plinthar;
  const std::string text = text::decode_text(fuzz::as_text(data, size));
  fuzz::check_symbols(scanner::extract_symbols_py(text, "pkg/mod.py"), "pkg/mod.py");
  return 0;
}

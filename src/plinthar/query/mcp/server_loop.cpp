#include "plinthar/query/mcp/server_loop.hpp"

#include <istream>
#include <ostream>
#include <string>

#include "plinthar/error.hpp"
#include "plinthar/text/whitespace.hpp"

namespace plinthar::query::mcp {

int serve_lines(std::istream& in, std::ostream& out, std::ostream& log, RpcMethods& methods) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (text::trim(line).empty()) continue;
    const auto reply = dispatch_line(line, methods, log);
    if (!reply) continue;
    out << *reply << '\n';
    out.flush();
    if (!out) break;
  }
  return STATUS_OK;
}

}  // namespace plinthar::query::mcp

#pragma once

// The standard streams a command runs with, passed in so that every command can run
// in-process and be tested with strings.

#include <iosfwd>

namespace plinthar::query {

struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

}  // namespace plinthar::query

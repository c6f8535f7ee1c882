#pragma once

#include <stdexcept>

namespace plinthar {

// Exit statuses of both programs.
enum ExitStatus : int {
  STATUS_OK = 0,
  STATUS_FAILURE = 1,
  STATUS_USAGE = 2,
};

// The one error type the libraries throw for failures the user should see; the
// programs catch it at the top, print "<program>: error: <message>" and exit 1.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace plinthar

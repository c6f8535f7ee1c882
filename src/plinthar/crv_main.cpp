#include <iostream>

#include "plinthar/query/cli/crv_cli.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return plinthar::query::crv_main(argc, argv, std::cout, std::cerr);
}

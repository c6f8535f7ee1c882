#include <iostream>

#include "plinthar/scanner/mapforge_cli.hpp"

int main(int argc, char** argv) {
  return plinthar::scanner::mapforge_main(argc, argv, std::cout, std::cerr);
}

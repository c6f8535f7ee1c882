#include <iostream>

int main() {
  std::cerr << "crv: not available yet\n";
  return 1;
}

#include <iostream>

#include "tools/eval/wowgen/WowgenCommand.h"

int main(int argc, char** argv) {
  return wowgen::runWowgen(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

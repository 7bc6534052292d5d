#include <iostream>

#include "tools/eval/wowapply/WowapplyCommand.h"

int main(int argc, char** argv) {
  return wowapply::runWowapply(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

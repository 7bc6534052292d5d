#include <iostream>

#include "tools/eval/wowxcorr/WowxcorrCommand.h"

int main(int argc, char** argv) {
  return wowxcorr::runWowxcorr(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

#include <iostream>

#include "tools/eval/wowmeter/WowmeterCommand.h"

int main(int argc, char** argv) {
  return wowmeter::runWowmeter(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

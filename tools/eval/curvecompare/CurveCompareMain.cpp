#include <iostream>

#include "tools/eval/curvecompare/CurveCompareCommand.h"

int main(int argc, char** argv) {
  return curvecompare::runCurvecompare(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}

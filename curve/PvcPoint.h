// One point of the pitch variation curve.
#pragma once

#include <cstdint>

struct PvcPoint {
  std::int32_t position = 0;  // sample frame from the start of the file
  float ratio = 0.0f;         // relative speed there; 1.0 is nominal
  std::int32_t column = 0;    // screen position from the last layout
  std::int32_t row = 0;
};

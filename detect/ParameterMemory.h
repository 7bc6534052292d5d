// Remembers each detector's normalised parameter values while its engine is
// destroyed and created again. Seven rows; each is allocated once with the
// engine's parameter count and never resized.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace detect {

class ParameterMemory {
 public:
  static constexpr int kRows = 7;

  // True once the row has been allocated; false for rows outside 0..6.
  bool hasValues(int row) const;
  // Allocates a zeroed row of `count` values; refused for a row outside 0..6,
  // an already allocated row or a negative count.
  bool allocate(int row, int count);
  // Ignored unless the row is allocated and the index is within its count.
  void store(int row, int index, float value);
  // The stored value, 0 when the row or index is not there.
  float load(int row, int index) const;
  // Number of values of an allocated row, 0 otherwise.
  int count(int row) const;

 private:
  struct Row {
    bool stored = false;
    std::vector<float> values;
  };
  const Row* rowAt(int row) const;

  std::array<Row, kRows> rows_{};
};

}  // namespace detect

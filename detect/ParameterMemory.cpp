#include "detect/ParameterMemory.h"

namespace detect {

const ParameterMemory::Row* ParameterMemory::rowAt(int row) const {
  if (row < 0 || row >= kRows) return nullptr;
  return &rows_[static_cast<std::size_t>(row)];
}

bool ParameterMemory::hasValues(int row) const {
  const Row* r = rowAt(row);
  return r && r->stored;
}

bool ParameterMemory::allocate(int row, int count) {
  if (row < 0 || row >= kRows || count < 0) return false;
  Row& r = rows_[static_cast<std::size_t>(row)];
  if (r.stored) return false;
  r.values.assign(static_cast<std::size_t>(count), 0.0f);
  r.stored = true;
  return true;
}

void ParameterMemory::store(int row, int index, float value) {
  if (row < 0 || row >= kRows) return;
  Row& r = rows_[static_cast<std::size_t>(row)];
  if (!r.stored || index < 0 || index >= static_cast<int>(r.values.size())) return;
  r.values[static_cast<std::size_t>(index)] = value;
}

float ParameterMemory::load(int row, int index) const {
  const Row* r = rowAt(row);
  if (!r || !r->stored || index < 0 || index >= static_cast<int>(r->values.size())) return 0.0f;
  return r->values[static_cast<std::size_t>(index)];
}

int ParameterMemory::count(int row) const {
  const Row* r = rowAt(row);
  return r && r->stored ? static_cast<int>(r->values.size()) : 0;
}

}  // namespace detect

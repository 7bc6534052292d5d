// Read-only view of the analyser's power rows: one row of `bins` floats per
// spectrogram column, stored one after the other.
#pragma once

#include <cstddef>
#include <span>

class PowerRows {
 public:
  PowerRows() = default;
  PowerRows(std::span<const float> data, int columns, int bins)
      : data_(data), columns_(columns), bins_(bins) {}

  int columns() const { return columns_; }
  int bins() const { return bins_; }
  bool empty() const { return columns_ <= 0 || bins_ <= 0; }

  // The row of one column; empty outside the columns.
  std::span<const float> row(int column) const {
    if (column < 0 || column >= columns_ || bins_ <= 0) return {};
    return data_.subspan(static_cast<std::size_t>(column) * static_cast<std::size_t>(bins_),
                         static_cast<std::size_t>(bins_));
  }

 private:
  std::span<const float> data_;
  int columns_ = 0;
  int bins_ = 0;
};

#pragma once
// A north-up grid of 32-bit values over square cells, as the rasters
// exchanged with GIS programs hold them: row 0 is the northernmost, each row
// runs from west to east. The value of a cell stands for its centre.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace orvane {

// The value of a cell that holds none (outside the surface): the lowest
// 32-bit float, which no elevation or height difference comes near.
inline constexpr float kNoDataCell = std::numeric_limits<float>::lowest();

struct FloatGrid {
  double West = 0;   // x of the grid's west edge, metres
  double North = 0;  // y of the grid's north edge, metres
  double CellSize = 1;
  int32_t Columns = 0;
  int32_t Rows = 0;
  float NoData = kNoDataCell;
  std::vector<float> Cells;  // Rows x Columns, row by row from the north

  // Centre of column c and of row r.
  double CentreX(int32_t c) const { return West + (c + 0.5) * CellSize; }
  double CentreY(int32_t r) const { return North - (r + 0.5) * CellSize; }
  float& At(int32_t c, int32_t r) { return Cells[Offset(c, r)]; }
  float At(int32_t c, int32_t r) const { return Cells[Offset(c, r)]; }

 private:
  size_t Offset(int32_t c, int32_t r) const {
    return static_cast<size_t>(r) * static_cast<size_t>(Columns) + static_cast<size_t>(c);
  }
};

}  // namespace orvane

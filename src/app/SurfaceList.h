#pragma once
// The explorer's five-column list of the project's surfaces: one row per
// surface of Project().Surfaces, in collection order (row r, 0-based, is
// surface r + 1). As many rows as there are surfaces.

#include <QString>
#include <array>
#include <memory>
#include <span>
#include <string_view>

#include "core/model/TriangleMesh.h"

class QTreeWidget;

namespace orvane::app {

// Each row holds in this role of its first column the index of its surface
// in the collection the list was filled from: the rows may be sorted.
inline constexpr int kSurfaceIndexRole = Qt::UserRole;

// Column texts: the name; the point and triangle counts with a leading
// blank for non-negative numbers (" 1234"); the lowest and the highest
// elevation in "0.000" ("12.346"). A surface without points has no
// elevations: both read "0.000".
std::array<QString, 5> SurfaceRowTexts(const TriangleMesh& surface);

// Surface names are UTF-8 when typed here, ISO-8859-1 in older projects.
QString NameText(std::string_view name);

// Clears list and gives it one row per surface, in one update. Sorted by a
// column, names go in alphabetical order (case aside) and the counts and
// elevations in the order of their numbers; rows that compare equal keep
// the collection's order.
void FillSurfaceList(QTreeWidget& list, std::span<const std::shared_ptr<TriangleMesh>> surfaces);

}  // namespace orvane::app

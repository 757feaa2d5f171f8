#pragma once
// Where two pictures differ to a viewer, as a translucent layer: check's perceptible-change
// measure, clear where nothing shows, yellow to red where a change stands out.

#include <QImage>

namespace editor {

// A layer the size of the pictures; null when they differ in size or one is missing.
QImage heatMap(const QImage& original, const QImage& modified);

} // namespace editor

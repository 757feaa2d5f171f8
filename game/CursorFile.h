#pragma once

#include <QCursor>
#include <QString>

namespace game {

// Loads a Windows cursor file (.cur) as a pointer image, with the hot spot its directory entry
// gives. Throws with a readable description when the file is not a cursor Qt can read.
QCursor LoadCursorFile(const QString& path);

} // namespace game

#pragma once

#include <QImage>
#include <QString>

namespace game {

// Loads a picture file for a picture box. The format is taken from the file's content, not its
// name. An empty path gives the empty picture. A file that doesn't decode, or whose picture would
// take more memory than a picture box can reasonably show, throws with a readable description.
QImage LoadPicture(const QString& path);

} // namespace game

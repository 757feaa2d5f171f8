#pragma once
// `tavrello-pack extract DB --dir DIR`: takes a database apart into its pictures and a manifest
// that `build` turns back into the same database.

#include <QByteArray>
#include <QStringList>
#include <string>

namespace pack {

// The file extension a picture's bytes call for ("jpg", "png", "gif", "bmp", "webp", else "bin").
QString pictureExtension(const QByteArray& bytes);

// The manifest's coordinate_type for a Jet column type ("long" for byte and long, "double" for
// anything it has no name for).
QString manifestCoordinateType(const std::string& jetType);

int runExtract(const QStringList& arguments);

} // namespace pack

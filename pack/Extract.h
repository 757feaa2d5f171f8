#pragma once
// `tavrello-pack extract DB --dir DIR`: takes a database apart into its pictures and a manifest
// that `build` turns back into the same database.

#include <QByteArray>
#include <QStringList>

namespace pack {

// The file extension a picture's bytes call for ("jpg", "png", "gif", "bmp", "webp", else "bin").
QString pictureExtension(const QByteArray& bytes);

int runExtract(const QStringList& arguments);

} // namespace pack

#pragma once

#include <QString>

namespace support {

// The folder a pair's two short-lived picture files are written to. The program folder when the
// player can write there. A system-wide install can't be written by its players, so then a folder
// of the player's own: $XDG_RUNTIME_DIR/tavrello, else $HOME/.cache/tavrello, created with mode
// 0700 when missing. A folder there that is a link, belongs to someone else or lets group or others
// write is not used, since another user could plant or read files in it. When neither can be had
// the program folder is returned, and the write that follows fails as it would have anyway.
// Never throws.
QString PictureFolder(const QString& programFolder) noexcept;

} // namespace support

#pragma once
// `tavrello-pack list DB`: one line per row of tblImages, in the order the file holds them.

#include <QStringList>

namespace pack {

int runList(const QStringList& arguments);

} // namespace pack

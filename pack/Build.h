#pragma once
// `tavrello-pack build`: turns a manifest and its pictures into the game's dbImages.mdb.

#include "Manifest.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace pack {

struct BuildResult
{
    qsizetype pairs = 0;
    qint64 bytes = 0;
};

// The columns of the table the game reads (format::kTable), in order.
QStringList imageColumnNames();

// Told after each pair is written: pairs written so far, pairs in all.
using BuildProgress = std::function<void(qsizetype written, qsizetype total)>;

// Writes `manifest` to `output` (replacing an existing file only when `replace`), all or
// nothing. Throws InputError for anything wrong with the inputs or the output path.
BuildResult buildDatabase(const Manifest& manifest, const QString& output, bool replace,
                          const QDateTime& created = {}, const BuildProgress& progress = {});

// The command itself: arguments after "build".
int runBuild(const QStringList& arguments);

} // namespace pack

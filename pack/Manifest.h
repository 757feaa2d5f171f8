#pragma once
// The JSON file that lists the picture pairs of a database, read and checked in full before a
// single byte of the database is written.

#include "InputError.h"
#include "format/DifferenceRect.h"
#include "format/PairTable.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace pack {

enum class Units { Twips, Pixels };
enum class CoordinateType { Long, Integer, Single, Double, Decimal };

// A difference's corners, in twips; a corner left null in the manifest stays null.
using Difference = format::DifferenceRect<std::optional<double>>;

struct Pair
{
    qint32 id = 0;
    qint32 level = 1;
    std::optional<QString> original; // absolute path, or null
    std::optional<QString> modified;
    std::array<Difference, format::kDifferenceCount> differences;
};

struct Manifest
{
    QString path;
    Units units = Units::Twips;
    CoordinateType coordinateType = CoordinateType::Long;
    std::vector<Pair> pairs;
};

// The names a manifest gives the coordinate types ("long", "integer", "single", "double").
QString coordinateTypeName(CoordinateType type);
std::optional<CoordinateType> coordinateTypeNamed(const QString& name);

// Throws InputError naming the manifest and what is wrong with it.
Manifest readManifest(const QString& path);
// Same, for a manifest already in memory; picture paths are taken relative to `folder`.
Manifest parseManifest(const QByteArray& json, const QString& path, const QString& folder);

// The manifest as JSON in twips, picture paths relative to `folder`, Null corners as null.
QByteArray manifestJson(const Manifest& manifest, const QString& folder);
// Writes manifestJson(manifest, folder of path) to `path` all at once: a reader sees the old
// manifest or the new one, never half of one. An existing manifest is replaced only when
// `replace`. The one writer of manifests: extract, the generator and the editor all write
// through it. Throws InputError, or std::runtime_error when the disk fails.
void writeManifest(const Manifest& manifest, const QString& path, bool replace = true);

} // namespace pack

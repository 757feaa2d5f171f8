#include "Extract.h"

#include "AtomicFile.h"
#include "CommandArguments.h"
#include "CommandLine.h"
#include "InputError.h"
#include "Manifest.h"
#include "StoredPairs.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace pack {
namespace {

const char* kHelp = "Usage: tavrello-pack extract DB --dir DIR [--force]\n\n"
                    "Writes every pair's pictures as DIR/<id>-original.<ext> and\n"
                    "DIR/<id>-modified.<ext> (the extension from the picture's content), and\n"
                    "DIR/manifest.json, from which 'tavrello-pack build' makes the same database.\n"
                    "DIR is created when missing; --force lets it replace files already there.\n";

} // namespace

QString manifestCoordinateType(const std::string& jetType)
{
    if (jetType == "integer" || jetType == "single" || jetType == "double" || jetType == "decimal")
        return QString::fromStdString(jetType);
    if (jetType == "long" || jetType == "byte")
        return QStringLiteral("long");
    return QStringLiteral("double");
}

QString pictureExtension(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpg");
    if (bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QStringLiteral("gif");
    if (bytes.startsWith("BM"))
        return QStringLiteral("bmp");
    if (bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QStringLiteral("webp");
    return QStringLiteral("bin");
}

int runExtract(const QStringList& arguments)
{
    CommandArguments args(
        "extract", "a database and --dir DIR", 1,
        {{"dir", "the folder to write to", "DIR"}, {"force", "replace files already there"}});
    if (!args.parse(arguments)) {
        printOut(kHelp);
        return 0;
    }
    const QString database = args.operands()[0];
    const QString dir = args.value("dir");
    const bool force = args.isSet("force");
    if (dir.isEmpty())
        args.refuse("needs a database and --dir DIR");
    if (!QFileInfo(database).isFile())
        throw InputError(database, "no such database file");
    if (!QDir().mkpath(dir))
        throw InputError(dir, "can't be created");
    const QDir out(dir);

    Manifest manifest;
    QSet<qint64> ids;
    forEachPair(database, [&](const PairRow& row) {
        const StoredPair numbers = row.numbers();
        if (numbers.id.isNull() || numbers.level.isNull())
            throw InputError(database, "a row has no id or no level");
        const qint64 id = qint64(numbers.id.toDouble());
        if (ids.contains(id))
            throw InputError(
                database,
                QStringLiteral("id %1 appears twice; a manifest can't hold both").arg(id));
        ids.insert(id);
        manifest.coordinateType = coordinateTypeNamed(manifestCoordinateType(row.coordinateType()))
                                      .value_or(CoordinateType::Double);

        Pair pair;
        pair.id = qint32(id);
        pair.level = qint32(numbers.level.toDouble());
        for (auto [key, picture, path] : {std::tuple{"original", row.original(), &pair.original},
                                          std::tuple{"modified", row.modified(), &pair.modified}}) {
            if (!picture)
                continue;
            const QString name =
                QStringLiteral("%1-%2.%3").arg(id).arg(key, pictureExtension(*picture));
            writeWholeFile(out.filePath(name), *picture, force);
            *path = out.absoluteFilePath(name);
        }
        for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k)
            pair.differences[k] = manifestDifference(numbers.differences[k]);
        manifest.pairs.push_back(std::move(pair));
    });

    writeManifest(manifest, out.filePath("manifest.json"), force);
    printOut(QStringLiteral("%1: %2 pairs extracted to %3\n")
                 .arg(database)
                 .arg(manifest.pairs.size())
                 .arg(dir));
    return 0;
}

} // namespace pack

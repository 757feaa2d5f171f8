#include "Extract.h"

#include "CommandLine.h"
#include "InputError.h"
#include "StoredPairs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace pack {
namespace {

const char* kHelp = "Usage: tavrello-pack extract DB --dir DIR [--force]\n\n"
                    "Writes every pair's pictures as DIR/<id>-original.<ext> and\n"
                    "DIR/<id>-modified.<ext> (the extension from the picture's content), and\n"
                    "DIR/manifest.json, from which 'tavrello-pack build' makes the same database.\n"
                    "DIR is created when missing; --force lets it replace files already there.\n";

QJsonValue json(const store::FieldValue& value)
{
    using Storage = store::FieldValue::Storage;
    const Storage& s = value.storage();
    if (value.isNull())
        return QJsonValue(QJsonValue::Null);
    if (const auto* i = std::get_if<std::int64_t>(&s))
        return QJsonValue(qint64(*i));
    return QJsonValue(value.toDouble());
}

QString manifestCoordinateType(const std::string& jetType)
{
    if (jetType == "integer" || jetType == "single" || jetType == "double" || jetType == "decimal")
        return QString::fromStdString(jetType);
    if (jetType == "long" || jetType == "byte")
        return QStringLiteral("long");
    return QStringLiteral("double");
}

void writeFile(const QString& path, const QByteArray& bytes, bool force)
{
    if (!force && QFileInfo::exists(path))
        throw InputError(path, "already exists (use --force to replace it)");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush())
        throw InputError(path, "can't be written: " + file.errorString());
}

} // namespace

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
    QString database;
    QString dir;
    bool force = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == "--help" || a == "-h") {
            printOut(kHelp);
            return 0;
        }
        if (a == "--force")
            force = true;
        else if (a == "--dir" && i + 1 < arguments.size())
            dir = arguments[++i];
        else if (a.startsWith('-') || !database.isEmpty())
            return usageError(
                QStringLiteral("extract: unexpected argument \"%1\" (try extract --help)").arg(a));
        else
            database = a;
    }
    if (database.isEmpty() || dir.isEmpty())
        return usageError("extract needs a database and --dir DIR (try extract --help)");
    if (!QFileInfo(database).isFile())
        throw InputError(database, "no such database file");
    if (!QDir().mkpath(dir))
        throw InputError(dir, "can't be created");
    const QDir out(dir);

    QJsonArray pairs;
    QSet<qint64> ids;
    QString coordinateType = QStringLiteral("long");
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
        coordinateType = manifestCoordinateType(row.coordinateType());

        QJsonObject pair{{"id", id}, {"level", qint64(numbers.level.toDouble())}};
        for (auto [key, picture] :
             {std::pair{"original", row.original()}, std::pair{"modified", row.modified()}}) {
            if (!picture) {
                pair[key] = QJsonValue(QJsonValue::Null);
                continue;
            }
            const QString name =
                QStringLiteral("%1-%2.%3").arg(id).arg(key, pictureExtension(*picture));
            writeFile(out.filePath(name), *picture, force);
            pair[key] = name;
        }
        QJsonArray differences;
        for (const auto& corners : numbers.differences)
            differences.append(QJsonObject{{"x1", json(corners[0])},
                                           {"y1", json(corners[1])},
                                           {"x2", json(corners[2])},
                                           {"y2", json(corners[3])}});
        pair["differences"] = differences;
        pairs.append(pair);
    });

    const QJsonObject manifest{
        {"units", "twips"}, {"coordinate_type", coordinateType}, {"pairs", pairs}};
    writeFile(out.filePath("manifest.json"), QJsonDocument(manifest).toJson(), force);
    printOut(
        QStringLiteral("%1: %2 pairs extracted to %3\n").arg(database).arg(pairs.size()).arg(dir));
    return 0;
}

} // namespace pack

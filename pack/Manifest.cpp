#include "Manifest.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <limits>
#include <map>

namespace pack {

namespace {

const char* typeName(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Bool:
        return "true or false";
    case QJsonValue::Double:
        return "a number";
    case QJsonValue::String:
        return "a string";
    case QJsonValue::Array:
        return "an array";
    case QJsonValue::Object:
        return "an object";
    case QJsonValue::Undefined:
        break;
    }
    return "nothing";
}

class Checker
{
  public:
    Checker(QString path, QString folder) : m_path(std::move(path)), m_folder(std::move(folder)) {}

    [[noreturn]] void fail(const QString& where, const QString& problem) const
    {
        throw InputError(m_path, where.isEmpty() ? problem : where + ": " + problem);
    }

    void onlyKeys(const QJsonObject& o, const QString& where,
                  std::initializer_list<const char*> keys)
    {
        for (auto it = o.begin(); it != o.end(); ++it) {
            bool known = false;
            for (const char* k : keys)
                known = known || it.key() == QLatin1String(k);
            if (!known)
                fail(where, QStringLiteral("unknown key \"%1\"").arg(it.key()));
        }
    }

    qint32 wholeNumber(const QJsonValue& v, const QString& where, double lo, double hi)
    {
        if (!v.isDouble())
            fail(where, QStringLiteral("expected a whole number, got %1").arg(typeName(v)));
        const double x = v.toDouble();
        if (std::trunc(x) != x || x < lo || x > hi)
            fail(where, QStringLiteral("expected a whole number from %1 to %2, got %3")
                            .arg(lo, 0, 'f', 0)
                            .arg(hi, 0, 'f', 0)
                            .arg(x, 0, 'g', 17));
        return static_cast<qint32>(x);
    }

    std::optional<QString> picture(const QJsonObject& o, const char* key, const QString& where)
    {
        const QString here = where + "." + key;
        if (!o.contains(QLatin1String(key)))
            fail(here, "missing (give a path, or null for no picture)");
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isNull())
            return std::nullopt;
        if (!v.isString() || v.toString().isEmpty())
            fail(here, QStringLiteral("expected a path or null, got %1").arg(typeName(v)));
        return QDir::cleanPath(QDir(m_folder).absoluteFilePath(v.toString()));
    }

    std::optional<double> coordinate(const QJsonValue& v, const QString& where, Units units,
                                     CoordinateType type)
    {
        if (v.isNull())
            return std::nullopt;
        if (!v.isDouble())
            fail(where, QStringLiteral("expected a number or null, got %1").arg(typeName(v)));
        const double given = v.toDouble();
        const double x = units == Units::Pixels ? format::twipsFromPixels(given) : given;
        const QString shown =
            units == Units::Pixels
                ? QStringLiteral("%1 pixels (%2 twips)").arg(given, 0, 'g', 17).arg(x, 0, 'g', 17)
                : QString::number(given, 'g', 17);
        switch (type) {
        case CoordinateType::Long:
        case CoordinateType::Integer: {
            const bool small = type == CoordinateType::Integer;
            const double lo = small ? -32768.0 : -2147483648.0;
            const double hi = small ? 32767.0 : 2147483647.0;
            if (std::trunc(x) != x)
                fail(where, QStringLiteral("%1 is not a whole number, which coordinate_type \"%2\" "
                                           "needs")
                                .arg(shown, small ? "integer" : "long"));
            if (x < lo || x > hi)
                fail(where, QStringLiteral("%1 does not fit coordinate_type \"%2\" (%3 to %4)")
                                .arg(shown, small ? "integer" : "long")
                                .arg(lo, 0, 'f', 0)
                                .arg(hi, 0, 'f', 0));
            break;
        }
        case CoordinateType::Single:
            if (std::fabs(x) > std::numeric_limits<float>::max())
                fail(where,
                     QStringLiteral("%1 does not fit coordinate_type \"single\"").arg(shown));
            break;
        case CoordinateType::Double:
            if (!std::isfinite(x))
                fail(where,
                     QStringLiteral("%1 does not fit coordinate_type \"double\"").arg(shown));
            break;
        case CoordinateType::Decimal:
            // Decimal(18, 2): two places after the point, sixteen before.
            if (!std::isfinite(x) || std::round(x * 100) / 100 != x)
                fail(where, QStringLiteral("%1 has more than two decimal places, which "
                                           "coordinate_type \"decimal\" can't hold")
                                .arg(shown));
            if (std::fabs(x) >= 1e16)
                fail(where,
                     QStringLiteral("%1 does not fit coordinate_type \"decimal\"").arg(shown));
            break;
        }
        return x;
    }

  private:
    QString m_path;
    QString m_folder;
};

// QJsonParseError only knows a byte offset; people look for lines and columns.
QString position(const QByteArray& json, qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, json.size());
    int line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i)
        if (json[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    const int column =
        static_cast<int>(
            QString::fromUtf8(json.constData() + lineStart, offset - lineStart).size()) +
        1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

} // namespace

namespace {
constexpr std::pair<const char*, CoordinateType> kCoordinateTypes[] = {
    {"long", CoordinateType::Long},
    {"integer", CoordinateType::Integer},
    {"single", CoordinateType::Single},
    {"double", CoordinateType::Double},
    {"decimal", CoordinateType::Decimal}};
} // namespace

QString coordinateTypeName(CoordinateType type)
{
    for (const auto& [name, known] : kCoordinateTypes)
        if (known == type)
            return QLatin1String(name);
    return QStringLiteral("long");
}

std::optional<CoordinateType> coordinateTypeNamed(const QString& name)
{
    for (const auto& [known, type] : kCoordinateTypes)
        if (name == QLatin1String(known))
            return type;
    return std::nullopt;
}

Manifest parseManifest(const QByteArray& json, const QString& path, const QString& folder)
{
    Checker check(path, folder);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        check.fail({}, QStringLiteral("invalid JSON at %1: %2")
                           .arg(position(json, error.offset), error.errorString()));
    if (!doc.isObject())
        check.fail({}, "expected a JSON object at the top");
    const QJsonObject top = doc.object();
    check.onlyKeys(top, {}, {"units", "coordinate_type", "pairs"});

    Manifest m;
    m.path = path;
    if (top.contains("units")) {
        const QJsonValue u = top.value("units");
        if (u == QJsonValue("twips"))
            m.units = Units::Twips;
        else if (u == QJsonValue("pixels"))
            m.units = Units::Pixels;
        else
            check.fail("units", "expected \"twips\" or \"pixels\"");
    }
    if (top.contains("coordinate_type")) {
        const QJsonValue t = top.value("coordinate_type");
        const std::optional<CoordinateType> type =
            t.isString() ? coordinateTypeNamed(t.toString()) : std::nullopt;
        if (type)
            m.coordinateType = *type;
        else
            check.fail("coordinate_type",
                       "expected \"long\", \"integer\", \"single\", \"double\" or \"decimal\"");
    }
    const QJsonValue pairs = top.value("pairs");
    if (!pairs.isArray())
        check.fail("pairs", QStringLiteral("expected an array, got %1").arg(typeName(pairs)));

    std::map<qint32, qsizetype> seen;
    const QJsonArray list = pairs.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("pairs[%1]").arg(i);
        if (!list[i].isObject())
            check.fail(where, QStringLiteral("expected an object, got %1").arg(typeName(list[i])));
        const QJsonObject o = list[i].toObject();
        check.onlyKeys(o, where, {"id", "level", "original", "modified", "differences"});
        Pair p;
        p.id = check.wholeNumber(o.value("id"), where + ".id", -2147483648.0, 2147483647.0);
        if (const auto [it, fresh] = seen.emplace(p.id, i); !fresh)
            check.fail(
                where + ".id",
                QStringLiteral("id %1 is already used by pairs[%2]").arg(p.id).arg(it->second));
        p.level = check.wholeNumber(o.value("level"), where + ".level", 1, 3);
        p.original = check.picture(o, "original", where);
        p.modified = check.picture(o, "modified", where);
        const QJsonValue diffs = o.value("differences");
        if (!diffs.isArray())
            check.fail(where + ".differences",
                       QStringLiteral("expected an array, got %1").arg(typeName(diffs)));
        const QJsonArray d = diffs.toArray();
        if (d.size() != format::kDifferenceCount)
            check.fail(where + ".differences",
                       QStringLiteral("expected exactly 4 differences, got %1").arg(d.size()));
        for (qsizetype k = 0; k < format::kDifferenceCount; ++k) {
            const QString at = QStringLiteral("%1.differences[%2]").arg(where).arg(k);
            if (!d[k].isObject())
                check.fail(at, QStringLiteral("expected an object, got %1").arg(typeName(d[k])));
            const QJsonObject box = d[k].toObject();
            check.onlyKeys(box, at, {"x1", "y1", "x2", "y2"});
            const char* names[] = {"x1", "y1", "x2", "y2"};
            for (int c = 0; c < 4; ++c) {
                const QString here = at + "." + names[c];
                if (!box.contains(QLatin1String(names[c])))
                    check.fail(here, "missing (give a number, or null)");
                p.differences[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)] =
                    check.coordinate(box.value(QLatin1String(names[c])), here, m.units,
                                     m.coordinateType);
            }
        }
        m.pairs.push_back(std::move(p));
    }
    return m;
}

Manifest readManifest(const QString& path)
{
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw InputError(path, "no such file");
    if (info.isDir())
        throw InputError(path, "is a folder, not a manifest");
    if (!file.open(QIODevice::ReadOnly))
        throw InputError(path, "cannot read: " + file.errorString());
    // A manifest is text; anything near this size is not one.
    constexpr qint64 kMaxManifest = 64 * 1024 * 1024;
    if (file.size() > kMaxManifest)
        throw InputError(path, "too large for a manifest");
    const QByteArray json = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw InputError(path, "cannot read: " + file.errorString());
    return parseManifest(json, path, info.absolutePath());
}

QByteArray manifestJson(const Manifest& manifest, const QString& folder)
{
    const QDir base(folder);
    const auto picture = [&](const std::optional<QString>& path) {
        return path ? QJsonValue(base.relativeFilePath(*path)) : QJsonValue(QJsonValue::Null);
    };
    const bool whole = manifest.coordinateType == CoordinateType::Long ||
                       manifest.coordinateType == CoordinateType::Integer;
    const auto coordinate = [&](const std::optional<double>& c) {
        if (!c)
            return QJsonValue(QJsonValue::Null);
        // Whole types are written as integers, so "x1": 150 never reads back as 150.0.
        return whole ? QJsonValue(qint64(*c)) : QJsonValue(*c);
    };
    QJsonArray pairs;
    for (const Pair& p : manifest.pairs) {
        QJsonArray differences;
        for (const Difference& d : p.differences)
            differences.append(QJsonObject{{"x1", coordinate(d.x1)},
                                           {"y1", coordinate(d.y1)},
                                           {"x2", coordinate(d.x2)},
                                           {"y2", coordinate(d.y2)}});
        pairs.append(QJsonObject{{"id", p.id},
                                 {"level", p.level},
                                 {"original", picture(p.original)},
                                 {"modified", picture(p.modified)},
                                 {"differences", differences}});
    }
    const QJsonObject top{{"units", "twips"},
                          {"coordinate_type", coordinateTypeName(manifest.coordinateType)},
                          {"pairs", pairs}};
    return QJsonDocument(top).toJson();
}

void writeManifest(const Manifest& manifest, const QString& path, bool replace)
{
    writeWholeFile(path, manifestJson(manifest, QFileInfo(path).absolutePath()), replace);
}

} // namespace pack

#include "generate/Generate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <opencv2/imgcodecs.hpp>
#include <optional>

namespace generate {

namespace {

QString manifestPath(const QString& dir)
{
    return QDir(dir).filePath(QStringLiteral("manifest.json"));
}

// The manifest as it is, or a fresh one; a damaged manifest is an error, not something to
// silently overwrite.
QJsonObject loadManifest(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return QJsonObject{
            {"units", "twips"}, {"coordinate_type", "long"}, {"pairs", QJsonArray{}}};
    if (!file.open(QIODevice::ReadOnly))
        throw GenerateError(path.toStdString() + ": cannot read the manifest");
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject() ||
        !doc.object().value("pairs").isArray())
        throw GenerateError(path.toStdString() + ": not a pair manifest");
    return doc.object();
}

int nextFreeId(const QJsonObject& manifest)
{
    int highest = 0;
    for (const QJsonValue& v : manifest.value("pairs").toArray())
        highest = std::max(highest, v.toObject().value("id").toInt());
    return highest + 1;
}

void saveFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw GenerateError(path.toStdString() + ": cannot write (" +
                            file.errorString().toStdString() + ")");
}

QByteArray toBytes(const std::vector<uchar>& data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

void writeWithManifest(const QString& dir, int id, const Pair& pair, QJsonObject manifest)
{
    if (!QDir().mkpath(dir))
        throw GenerateError(dir.toStdString() + ": cannot create the folder");

    const QString original = QStringLiteral("%1-original.jpg").arg(id);
    const QString modified = QStringLiteral("%1-modified.jpg").arg(id);
    QJsonArray differences;
    for (const Difference& d : pair.differences) {
        const auto t = toTwips(d.rect);
        differences.append(QJsonObject{{"x1", t[0]}, {"y1", t[1]}, {"x2", t[2]}, {"y2", t[3]}});
    }
    const QJsonObject entry{{"id", id},
                            {"level", pair.level},
                            {"original", original},
                            {"modified", modified},
                            {"differences", differences}};

    QJsonArray pairs;
    bool replaced = false;
    for (const QJsonValue& v : manifest.value("pairs").toArray()) {
        if (v.toObject().value("id").toInt() == id) {
            if (!replaced)
                pairs.append(entry);
            replaced = true;
        } else {
            pairs.append(v);
        }
    }
    if (!replaced)
        pairs.append(entry);
    // Sorted by id, so regenerating one pair gives a small diff of the manifest.
    QList<QJsonValue> sorted(pairs.begin(), pairs.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const QJsonValue& a, const QJsonValue& b) {
        return a.toObject().value("id").toInt() < b.toObject().value("id").toInt();
    });
    QJsonArray out;
    for (const QJsonValue& v : sorted)
        out.append(v);
    manifest["pairs"] = out;

    const QDir folder(dir);
    saveFile(folder.filePath(original), toBytes(pair.originalJpeg));
    saveFile(folder.filePath(modified), toBytes(pair.modifiedJpeg));
    saveFile(manifestPath(dir), QJsonDocument(manifest).toJson(QJsonDocument::Indented));
}

struct Options
{
    QString photo;
    QString out;
    int level = 0;
    std::uint32_t seed = 1;
    std::optional<int> id;
};

Options parse(const QStringList& args)
{
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--level" || a == "--out" || a == "--seed" || a == "--id") {
            if (i + 1 >= args.size())
                throw GenerateError(a.toStdString() + " needs a value");
            const QString value = args[++i];
            bool ok = false;
            if (a == "--out") {
                o.out = value;
                ok = !value.isEmpty();
            } else if (a == "--level") {
                o.level = value.toInt(&ok);
                ok = ok && o.level >= 1 && o.level <= 3;
            } else if (a == "--seed") {
                o.seed = value.toUInt(&ok);
            } else {
                o.id = value.toInt(&ok);
                ok = ok && *o.id >= 1;
            }
            if (!ok)
                throw GenerateError(a.toStdString() + ": bad value '" + value.toStdString() + "'");
        } else if (a.startsWith("--")) {
            throw GenerateError("unknown option " + a.toStdString());
        } else if (o.photo.isEmpty()) {
            o.photo = a;
        } else {
            throw GenerateError("one photo at a time (got '" + a.toStdString() + "' too)");
        }
    }
    if (o.photo.isEmpty() || o.out.isEmpty() || o.level == 0)
        throw GenerateError(
            "usage: tavrello-pack generate PHOTO --level 1|2|3 --out DIR [--seed S] [--id I]");
    return o;
}

} // namespace

void writePair(const QString& dir, int id, const Pair& pair)
{
    writeWithManifest(dir, id, pair, loadManifest(manifestPath(dir)));
}

int runGenerate(const QStringList& args)
{
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::printf(
            "Usage: tavrello-pack generate PHOTO --level N --out DIR [--seed S] [--id I]\n\n"
            "Makes a pair from PHOTO: fits it to the 450 x 459 picture box, changes it in four\n"
            "places (large changes at level 1, small ones at level 3), and writes\n"
            "DIR/<id>-original.jpg, DIR/<id>-modified.jpg and the pair's entry in\n"
            "DIR/manifest.json, which 'tavrello-pack build' reads. The same photo, level and\n"
            "seed (default 1) give the same pair; the id defaults to the next free one.\n");
        return 0;
    }
    Options options;
    try {
        options = parse(args);
    } catch (const GenerateError& e) {
        std::fprintf(stderr, "tavrello-pack generate: %s\n", e.what());
        return 2;
    }

    const std::string photo = options.photo.toStdString();
    Pair pair;
    QJsonObject manifest;
    try {
        if (!QFileInfo(options.photo).isFile())
            throw GenerateError(photo + ": no such file");
        // IMREAD_COLOR turns grey, paletted, 16-bit and alpha pictures into 8-bit BGR.
        const cv::Mat image = cv::imread(photo, cv::IMREAD_COLOR);
        if (image.empty())
            throw GenerateError(photo +
                                ": cannot read the picture (not an image OpenCV can decode)");
        cv::Mat fitted;
        try {
            fitted = fitPhoto(image);
            pair = generatePair(fitted, options.level, options.seed);
        } catch (const GenerateError& e) {
            throw GenerateError(photo + ": " + e.what());
        }
        manifest = loadManifest(manifestPath(options.out));
    } catch (const GenerateError& e) {
        std::fprintf(stderr, "tavrello-pack generate: %s\n", e.what());
        return 2;
    }

    const int id = options.id ? *options.id : nextFreeId(manifest);
    try {
        writeWithManifest(options.out, id, pair, manifest);
    } catch (const GenerateError& e) {
        std::fprintf(stderr, "tavrello-pack generate: %s\n", e.what());
        return 1;
    }
    std::printf("pair %d (level %d, seed %u):", id, pair.level, options.seed);
    for (const Difference& d : pair.differences)
        std::printf(" %s", editKindName(d.kind));
    std::printf("\n");
    return 0;
}

} // namespace generate

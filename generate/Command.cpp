#include "generate/Generate.h"
#include "pack/AtomicFile.h"
#include "pack/CommandArguments.h"
#include "pack/CommandLine.h"
#include "pack/InputError.h"
#include "pack/Manifest.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <optional>

namespace generate {

namespace {

// The picture box's size comes from the pair table's format, like every other use of it.
QString help()
{
    return QStringLiteral(
               "Usage: tavrello-pack generate PHOTO --level N --out DIR [--seed S] [--id I]\n\n"
               "Makes a pair from PHOTO: fits it to the %1 x %2 picture box, changes it in four\n"
               "places (large changes at level 1, small ones at level 3), and writes\n"
               "DIR/<id>-original.jpg, DIR/<id>-modified.jpg and the pair's entry in\n"
               "DIR/manifest.json, which 'tavrello-pack build' reads. The same photo, level and\n"
               "seed (default 1) give the same pair; the id defaults to the next free one.\n")
        .arg(format::kPictureWidth)
        .arg(format::kPictureHeight);
}

QString manifestPath(const QString& dir)
{
    return QDir(dir).filePath(QStringLiteral("manifest.json"));
}

// The manifest as build reads it, or a fresh one. A manifest build would refuse is refused here
// too, before any work, rather than overwritten.
pack::Manifest loadManifest(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        pack::Manifest fresh;
        fresh.path = path;
        return fresh;
    }
    return pack::readManifest(path);
}

int nextFreeId(const pack::Manifest& manifest)
{
    int highest = 0;
    for (const pack::Pair& p : manifest.pairs)
        highest = std::max(highest, p.id);
    return highest + 1;
}

QByteArray toBytes(const std::vector<uchar>& data)
{
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
}

// Writes <id>-original.jpg and <id>-modified.jpg into dir and the pair's entry into
// dir/manifest.json, replacing an entry with the same id.
void writePair(const QString& dir, int id, const Pair& pair, pack::Manifest manifest)
{
    if (!QDir().mkpath(dir))
        throw pack::InputError(dir, "can't be created");
    const QDir folder(dir);
    const QString original = folder.absoluteFilePath(QStringLiteral("%1-original.jpg").arg(id));
    const QString modified = folder.absoluteFilePath(QStringLiteral("%1-modified.jpg").arg(id));

    pack::Pair entry;
    entry.id = id;
    entry.level = pair.level;
    entry.original = original;
    entry.modified = modified;
    for (std::size_t k = 0; k < pair.differences.size() && k < entry.differences.size(); ++k)
        entry.differences[k] = toTwips(pair.differences[k].rect).as<std::optional<double>>();
    std::erase_if(manifest.pairs, [id](const pack::Pair& p) { return p.id == id; });
    manifest.pairs.push_back(std::move(entry));
    // Sorted by id, so regenerating one pair gives a small diff of the manifest.
    std::stable_sort(manifest.pairs.begin(), manifest.pairs.end(),
                     [](const pack::Pair& a, const pack::Pair& b) { return a.id < b.id; });

    // The pictures first: a manifest never names a picture that isn't there.
    pack::writeWholeFile(original, toBytes(pair.originalJpeg), true);
    pack::writeWholeFile(modified, toBytes(pair.modifiedJpeg), true);
    pack::writeManifest(manifest, manifestPath(dir));
}

struct Options
{
    QString photo;
    QString out;
    int level = 0;
    std::uint32_t seed = 1;
    std::optional<int> id;
};

// Reads the command line; nullopt when --help was asked for. Throws pack::UsageError.
std::optional<Options> parse(const QStringList& arguments)
{
    pack::CommandArguments args("generate", "a photo (generate PHOTO --level N --out DIR)", 1,
                                {{"level", "1 (Easy), 2 (Medium) or 3 (Hard)", "N"},
                                 {"out", "the folder of pictures and manifest.json", "DIR"},
                                 {"seed", "the seed (default 1)", "S"},
                                 {"id", "the pair's id (default: the next free one)", "I"}});
    if (!args.parse(arguments))
        return std::nullopt;
    Options o;
    o.photo = args.operands()[0];
    o.out = args.value("out");
    if (!args.isSet("level") || o.out.isEmpty())
        args.refuse("needs --level N and --out DIR");
    const auto badValue = [&](const char* option) {
        args.refuse(QStringLiteral("--%1: bad value '%2'").arg(option, args.value(option)));
    };
    bool ok = false;
    o.level = args.value("level").toInt(&ok);
    if (!ok || !format::isPlayedLevel(o.level))
        badValue("level");
    if (args.isSet("seed")) {
        o.seed = args.value("seed").toUInt(&ok);
        if (!ok)
            badValue("seed");
    }
    if (args.isSet("id")) {
        o.id = args.value("id").toInt(&ok);
        if (!ok || *o.id < 1)
            badValue("id");
    }
    return o;
}

// The command itself, reporting through pack::runCommand like every tavrello-pack command.
int generateCommand(const QStringList& arguments)
{
    const std::optional<Options> options = parse(arguments);
    if (!options) {
        pack::printOut(help());
        return 0;
    }
    const QString& photo = options->photo;
    if (!QFileInfo(photo).isFile())
        throw pack::InputError(photo, "no such file");
    Pair pair;
    try {
        pair = generatePair(fitPhoto(readPhoto(photo)), options->level, options->seed);
    } catch (const GenerateError& e) {
        throw pack::InputError(photo, QString::fromStdString(e.what()));
    }
    pack::Manifest manifest = loadManifest(manifestPath(options->out));
    const int id = options->id ? *options->id : nextFreeId(manifest);
    writePair(options->out, id, pair, std::move(manifest));

    QString said =
        QStringLiteral("pair %1 (level %2, seed %3):").arg(id).arg(pair.level).arg(options->seed);
    for (const Difference& d : pair.differences)
        said += QStringLiteral(" ") + QLatin1String(editKindName(d.kind));
    pack::printOut(said + '\n');
    return 0;
}

} // namespace

int runGenerate(const QStringList& arguments)
{
    return pack::runCommand({"generate", "make a pair from a photo", &generateCommand}, arguments);
}

} // namespace generate

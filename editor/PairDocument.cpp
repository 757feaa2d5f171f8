#include "PairDocument.h"

#include "pack/AtomicFile.h"
#include "pack/Extract.h"
#include "pack/InputError.h"
#include "pack/StoredPairs.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace editor {
namespace {

// A free file name in `folder` for a picture held only in memory.
QString freePictureName(const QDir& folder, qint32 id, const char* which, const QByteArray& bytes)
{
    const QString extension = pack::pictureExtension(bytes);
    QString name = QStringLiteral("%1-%2.%3").arg(id).arg(QLatin1String(which), extension);
    for (int n = 2; QFileInfo::exists(folder.filePath(name)); ++n)
        name =
            QStringLiteral("%1-%2-%3.%4").arg(id).arg(QLatin1String(which)).arg(n).arg(extension);
    return folder.filePath(name);
}

QString writeLoosePicture(const QDir& folder, qint32 id, const char* which, const QByteArray& bytes)
{
    const QString path = freePictureName(folder, id, which, bytes);
    pack::writeWholeFile(path, bytes, false);
    return path;
}

} // namespace

PairDocument::PairDocument(QObject* parent) : QObject(parent) {}

void PairDocument::openManifest(const QString& path)
{
    const pack::Manifest manifest = pack::readManifest(path);
    std::vector<EditorPair> pairs;
    for (const pack::Pair& p : manifest.pairs) {
        EditorPair pair;
        pair.numbers = {p.id, p.level, p.differences};
        if (p.original)
            pair.original = Picture::fromFile(*p.original);
        if (p.modified)
            pair.modified = Picture::fromFile(*p.modified);
        pairs.push_back(std::move(pair));
    }
    m_pairs = std::move(pairs);
    m_coordinateType = manifest.coordinateType;
    m_source = Source::Manifest;
    m_path = QFileInfo(path).absoluteFilePath();
    m_undo.clear();
    emit reset();
}

void PairDocument::openDatabase(const QString& path)
{
    if (!QFileInfo(path).isFile())
        throw pack::InputError(path, "no such database file");
    std::vector<EditorPair> pairs;
    std::string jetType = "long";
    pack::forEachPair(path, [&](const pack::PairRow& row) {
        const pack::StoredPair stored = row.numbers();
        if (stored.id.isNull() || stored.level.isNull())
            throw pack::InputError(path, "a row has no id or no level");
        EditorPair pair;
        pair.numbers.id = qint32(stored.id.toDouble());
        pair.numbers.level = qint32(stored.level.toDouble());
        for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k)
            pair.numbers.differences[k] = pack::manifestDifference(stored.differences[k]);
        if (const auto bytes = row.original())
            pair.original = Picture::fromBytes(*bytes);
        if (const auto bytes = row.modified())
            pair.modified = Picture::fromBytes(*bytes);
        jetType = row.coordinateType();
        pairs.push_back(std::move(pair));
    });
    m_pairs = std::move(pairs);
    m_coordinateType = pack::coordinateTypeNamed(pack::manifestCoordinateType(jetType))
                           .value_or(pack::CoordinateType::Double);
    m_source = Source::Database;
    m_path = QFileInfo(path).absoluteFilePath();
    m_undo.clear();
    emit reset();
}

void PairDocument::clear()
{
    m_pairs.clear();
    m_source = Source::None;
    m_path.clear();
    m_coordinateType = pack::CoordinateType::Long;
    m_undo.clear();
    emit reset();
}

void PairDocument::ensureChecked(int index)
{
    if (m_pairs[std::size_t(index)].checked)
        return;
    check(index);
    // Whoever shows the pair learns what check found, whoever asked for it.
    emit pairChanged(index);
}

void PairDocument::check(int index)
{
    EditorPair& pair = m_pairs[std::size_t(index)];
    std::array<pack::StoredRect, format::kDifferenceCount> rects;
    // Checked as doubles whatever the column type: the author's numbers as typed.
    for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k)
        rects[k] = pack::storedRect(pair.numbers.differences[k], false);
    std::vector<pack::Finding> findings = pack::checkRectangles(rects);
    bool decoded = true;
    for (const auto& [picture, which] :
         {std::pair{&pair.original, "original"}, std::pair{&pair.modified, "modified"}}) {
        if (picture->image().isNull()) {
            findings.emplace_back(pack::Finding::Error,
                                  QStringLiteral("the %1 picture can't be shown: %2")
                                      .arg(QLatin1String(which), picture->problem()));
            decoded = false;
        }
    }
    if (decoded) {
        const std::vector<pack::Finding> more =
            pack::checkPictures(pair.original.image(), pair.modified.image(), rects);
        findings.insert(findings.end(), more.begin(), more.end());
        pair.findability =
            pack::measureFindability(pair.original.image(), pair.modified.image(), rects);
    } else {
        pair.findability = {};
    }
    pair.findings = std::move(findings);
    pair.checked = true;
}

std::vector<pack::Finding> PairDocument::findings(int index)
{
    ensureChecked(index);
    std::vector<pack::Finding> all;
    const qint32 id = pair(index).numbers.id;
    const auto shared = std::count_if(m_pairs.begin(), m_pairs.end(),
                                      [&](const EditorPair& p) { return p.numbers.id == id; });
    if (shared > 1)
        all.emplace_back(pack::Finding::Error,
                         QStringLiteral("id %1 is used by %2 pairs").arg(id).arg(shared));
    if (!format::isPlayedLevel(pair(index).numbers.level))
        all.emplace_back(pack::Finding::Warning,
                         QStringLiteral("level %1 is never played (levels are 1 to 3)")
                             .arg(pair(index).numbers.level));
    const auto& own = pair(index).findings;
    all.insert(all.end(), own.begin(), own.end());
    // The level is edited apart from the pictures, so whether it fits is judged afresh each time.
    const std::vector<pack::Finding> fit =
        pack::checkLevelFit(pair(index).numbers.level, pair(index).findability, own);
    all.insert(all.end(), fit.begin(), fit.end());
    return all;
}

std::optional<pack::Finding> PairDocument::worstFinding(int index)
{
    const std::vector<pack::Finding> all = findings(index);
    for (const pack::Finding& f : all)
        if (f.severity == pack::Finding::Error)
            return f;
    if (!all.empty())
        return all.front();
    return std::nullopt;
}

int PairDocument::nextFreeId() const
{
    qint32 highest = 0;
    for (const EditorPair& p : m_pairs)
        highest = std::max(highest, p.numbers.id);
    return highest + 1;
}

void PairDocument::setNumbers(int index, const PairNumbers& numbers)
{
    EditorPair& pair = m_pairs[std::size_t(index)];
    const bool idChanged = pair.numbers.id != numbers.id;
    pair.numbers = numbers;
    check(index);
    emit pairChanged(index);
    // Another pair may have gained or lost a shared id.
    if (idChanged)
        for (int i = 0; i < count(); ++i)
            if (i != index)
                emit pairChanged(i);
}

void PairDocument::insertPair(int index, EditorPair pair)
{
    m_pairs.insert(m_pairs.begin() + index, std::move(pair));
    emit pairInserted(index);
}

void PairDocument::removePair(int index)
{
    m_pairs.erase(m_pairs.begin() + index);
    emit pairRemoved(index);
}

pack::Manifest PairDocument::toManifest(const QString& looseFolder) const
{
    pack::Manifest manifest;
    manifest.coordinateType = m_coordinateType;
    const QDir folder(looseFolder);
    for (const EditorPair& p : m_pairs) {
        pack::Pair out;
        out.id = p.numbers.id;
        out.level = p.numbers.level;
        out.differences = p.numbers.differences;
        for (const auto& [picture, target, which] :
             {std::tuple{&p.original, &out.original, "original"},
              std::tuple{&p.modified, &out.modified, "modified"}}) {
            if (picture->isMissing())
                continue;
            *target = picture->path()
                          ? *picture->path()
                          : writeLoosePicture(folder, p.numbers.id, which, picture->bytes());
        }
        manifest.pairs.push_back(std::move(out));
    }
    return manifest;
}

void PairDocument::saveAs(const QString& manifestPath)
{
    const QString folder = QFileInfo(manifestPath).absolutePath();
    if (!QFileInfo(folder).isDir())
        throw pack::InputError(manifestPath, "its folder does not exist");
    pack::Manifest manifest = toManifest(folder);
    manifest.path = manifestPath;
    pack::writeManifest(manifest, manifestPath);
    // The pictures that were only in memory now have files; later saves point at them.
    for (std::size_t i = 0; i < m_pairs.size(); ++i) {
        if (manifest.pairs[i].original && !m_pairs[i].original.path())
            m_pairs[i].original.setPath(*manifest.pairs[i].original);
        if (manifest.pairs[i].modified && !m_pairs[i].modified.path())
            m_pairs[i].modified.setPath(*manifest.pairs[i].modified);
    }
    m_source = Source::Manifest;
    m_path = QFileInfo(manifestPath).absoluteFilePath();
    m_undo.setClean();
}

} // namespace editor

// bench-editor-open: opens a pairs folder of 36 pairs in the editor and times until the first pair
// is painted, against loading the folder's 72 pictures with QImage alone. Medians of several
// rounds; the ratio says how much the editor adds to the bare decoding of every picture.
#include "editor/EditorWindow.h"
#include "editor/PairPanel.h"
#include "pack/Manifest.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 7;
constexpr int kPairs = 36;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The bundled pairs, repeated under new ids until there are 36, with their own picture files.
QStringList makeFolder(const QString& folder)
{
    const pack::Manifest bundled =
        pack::readManifest(QStringLiteral(TAVRELLO_SOURCE_DIR "/assets/pairs/manifest.json"));
    pack::Manifest manifest;
    QStringList pictures;
    for (int i = 0; i < kPairs; ++i) {
        pack::Pair pair = bundled.pairs[std::size_t(i) % bundled.pairs.size()];
        pair.id = i + 1;
        for (auto [picture, which] :
             {std::pair{&pair.original, "original"}, std::pair{&pair.modified, "modified"}}) {
            const QString copy = QDir(folder).filePath(
                QStringLiteral("%1-%2.jpg").arg(pair.id).arg(QLatin1String(which)));
            QFile::copy(**picture, copy);
            *picture = copy;
            pictures << copy;
        }
        manifest.pairs.push_back(pair);
    }
    pack::writeManifest(manifest, QDir(folder).filePath("manifest.json"));
    return pictures;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QStringList pictures = makeFolder(folder.path());

    std::vector<double> editor, images;
    for (int round = 0; round < kRounds; ++round) {
        QTemporaryDir settings;
        editor::EditorWindow window(settings.filePath("bench.ini"));
        window.show();
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        window.openPath(folder.path());
        // Painting the pair's box is what the author sees first.
        window.panel()->grab();
        editor.push_back(double(clock.nsecsElapsed()) / 1e6);

        clock.restart();
        qint64 pixels = 0;
        for (const QString& path : pictures)
            pixels += QImage(path).width();
        images.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (pixels == 0)
            return 1;
    }
    const double shown = median(editor);
    const double loaded = median(images);
    std::printf("editor: folder of %d pairs opened, first pair painted: %.1f ms (median of %d)\n",
                kPairs, shown, kRounds);
    std::printf("QImage: the same %lld pictures loaded:              %.1f ms\n",
                static_cast<long long>(pictures.size()), loaded);
    std::printf("ratio editor / QImage: %.2f; under a second: %s\n", shown / loaded,
                shown < 1000 ? "yes" : "no");
    return 0;
}

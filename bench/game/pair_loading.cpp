// bench-pair-loading DATABASE: the game's pair loading (pictures written to temporary files, loaded
// from there, files removed) against reading the same two pictures from the database into memory
// and decoding them there. Each is run over every row of level 1 many times; medians are printed.
#include "game/Form1.h"
#include "store/Connection.h"
#include "store/PictureFiles.h"
#include "store/Recordset.h"
#include "support/MessageBoxes.h"

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

constexpr int rounds = 200;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QImage decodeInMemory(store::Field field)
{
    // The whole picture in one read: the least work a reader can do.
    const std::vector<unsigned char> bytes = field.GetChunk(field.ActualSize());
    return QImage::fromData(bytes.data(), int(bytes.size()));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-pair-loading DATABASE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    store::setEventYield([] { QCoreApplication::processEvents(); });
    support::setMessagePresenter([](const support::Message&) {});

    QTemporaryDir folder;
    QFile::copy(QString::fromLocal8Bit(argv[1]), folder.filePath("dbImages.mdb"));

    // The two ways take turns, so that whatever else the machine does falls on both alike.
    game::Form1 form(folder.path());
    form.Form_Load();
    store::Connection connection;
    connection.Open(store::connectionStringFor(form.programDir().toStdString() + "/dbImages.mdb"));
    std::vector<double> inMemory;
    std::vector<double> game;
    for (int round = 0; round < rounds; ++round) {
        // In memory: read both pictures of the pair and decode them.
        {
            store::Recordset rows;
            rows.Open("select * from tblImages where level=1 order by id", connection, 3, 3);
            rows.MoveFirst();
            QElapsedTimer clock;
            clock.start();
            const QImage original = decodeInMemory(rows.Fields("original_image"));
            const QImage modified = decodeInMemory(rows.Fields("modified_image"));
            inMemory.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (original.isNull() || modified.isNull())
                return 1;
        }
        // The game: a start shows the first pair; the time of the query alone, measured the
        // same way, is taken away.
        QElapsedTimer clock;
        clock.start();
        form.PushButton1_Click(); // start: query, pair loading, clock
        const double start = double(clock.nsecsElapsed()) / 1e6;
        if (form.Picture2->Picture().isNull())
            return 1;
        form.PushButton1_Click(); // end again
        clock.restart();
        store::Recordset rows;
        rows.Open("select * from tblImages where level=1 order by id", connection, 3, 3);
        rows.MoveFirst();
        game.push_back(start - double(clock.nsecsElapsed()) / 1e6);
    }
    const double a = median(inMemory);
    const double b = median(game);
    std::printf("in memory: %.2f ms, game's pair loading: %.2f ms, ratio %.2f\n", a, b, b / a);
    return 0;
}

// bench-startup game|bare PROGRAM-FOLDER: shows the game's window (start-up included) or a bare
// window of the same size and ends at its first paint. bench/game/run-startup.sh times many runs.
#include "game/Form1.h"

#include <QApplication>
#include <QPaintEvent>
#include <QTimer>
#include <cstdio>
#include <cstring>

namespace {
// Ends the process when the watched window has painted once.
class FirstPaint : public QObject
{
  public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        return false;
    }
};
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench-startup game|bare PROGRAM-FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    FirstPaint firstPaint;
    if (std::strcmp(argv[1], "game") == 0) {
        game::Form1 window(QString::fromLocal8Bit(argv[2]));
        window.installEventFilter(&firstPaint);
        window.Form_Load();
        window.show();
        return app.exec();
    }
    QWidget window;
    window.setFixedSize(944, 584);
    window.installEventFilter(&firstPaint);
    window.show();
    return app.exec();
}

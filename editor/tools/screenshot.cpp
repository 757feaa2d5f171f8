// Renders the editor as an author sees it into a PNG, for the README and for looking at changes
// without a screen: editor-screenshot PATH OUT.png [PAIR-ROW] [heat] [select=K] [generate=PHOTO]
// (the last renders the generator's dialog once its candidate is there).

#include "editor/EditorWindow.h"
#include "editor/GenerateDialog.h"
#include "editor/PairPanel.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        qWarning("usage: editor-screenshot PATH OUT.png [ROW] [heat] [select=K] [generate=PHOTO]");
        return 2;
    }
    QTemporaryDir settings;
    editor::EditorWindow window(settings.filePath("settings.ini"));
    window.resize(1280, 900);
    window.show();
    window.openPath(args[1]);
    editor::GenerateDialog* dialog = nullptr;
    for (const QString& a : args.mid(3)) {
        bool number = false;
        const int row = a.toInt(&number);
        if (number)
            window.pairList()->setCurrentRow(row);
        else if (a == "heat")
            window.findChild<QAction*>("heatMapAction")->setChecked(true);
        else if (a.startsWith("select="))
            window.panel()->selectDifference(a.mid(7).toInt() - 1);
        else if (a.startsWith("generate="))
            dialog = window.generateFrom(a.mid(9));
    }
    if (dialog) {
        QTimer* poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, &app, [&] {
            if (dialog->isRunning())
                return;
            dialog->grab().save(args[2]);
            app.quit();
        });
        poll->start(200);
        return app.exec();
    }
    // Let the list's background checking finish, then paint.
    QTimer::singleShot(3000, &app, [&] {
        window.grab().save(args[2]);
        app.quit();
    });
    return app.exec();
}

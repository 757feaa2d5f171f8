// tavrello-editor [FOLDER | DATABASE]: the pair editor for puzzle authors.

#include "editor/EditorWindow.h"
#include "support/StartOptions.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    // Read before QApplication, which needs a display: --help answers without one.
    const support::StartOptions options(
        {QStringLiteral("tavrello-editor"), QStringLiteral(TAVRELLO_VERSION),
         QStringLiteral("[FOLDER | DATABASE]"),
         QStringLiteral(
             "Edits, checks and builds Tavrello's picture pairs, and plays them (F5).\n\n"
             "FOLDER is a pairs folder (with manifest.json), DATABASE a database to\n"
             "open; without either the editor starts empty.\n"),
         1},
        support::StartOptions::argumentsOf(argc, argv));
    if (options.exitStatus())
        return options.answer();

    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tavrello");
    QApplication::setApplicationName("Tavrello Editor");
    QApplication::setApplicationVersion(TAVRELLO_VERSION);
    QApplication::setWindowIcon(QIcon(":/tavrello-editor.png"));

    editor::EditorWindow window;
    if (!options.operands().isEmpty())
        window.openPath(options.operands().constFirst());
    window.show();
    return app.exec();
}

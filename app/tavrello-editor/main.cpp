// tavrello-editor [FOLDER | DATABASE]: the pair editor for puzzle authors.

#include "EditorWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Tavrello");
    QApplication::setApplicationName("Tavrello Editor");
    QApplication::setApplicationVersion(TAVRELLO_VERSION);
    QApplication::setWindowIcon(QIcon(":/tavrello-editor.png"));

    QCommandLineParser parser;
    parser.setApplicationDescription("Edits, checks and builds Tavrello's picture pairs.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("path", "A pairs folder (with manifest.json) or a database.",
                                 "[FOLDER | DATABASE]");
    parser.process(app);

    editor::EditorWindow window;
    if (!parser.positionalArguments().isEmpty())
        window.openPath(parser.positionalArguments().constFirst());
    window.show();
    return app.exec();
}

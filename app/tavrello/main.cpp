// tavrello [DATABASE]: the game, on the program folder's pairs or on a database of the player's.
#include "game/Form1.h"
#include "store/PictureFiles.h"
#include "support/StartOptions.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const support::StartOptions options(
        {QStringLiteral("tavrello"), QStringLiteral(TAVRELLO_VERSION), QStringLiteral("[DATABASE]"),
         QStringLiteral("Find the four differences between two pictures.\n\n"
                        "Without DATABASE the game plays dbImages.mdb in its program folder;\n"
                        "given one (a file built by tavrello-editor or tavrello-pack), it plays\n"
                        "that file's pairs instead.\n"),
         1},
        support::StartOptions::argumentsOf(argc, argv));
    if (options.exitStatus())
        return options.answer();

    QApplication app(argc, argv);
    store::setEventYield([] { QCoreApplication::processEvents(); });

    const QString database = options.operands().value(0);
    game::Form1 window(QCoreApplication::applicationDirPath(), database);
    window.Form_Load();
    if (!database.isEmpty())
        window.selectFirstLevelWithPairs();
    window.show();
    return app.exec();
}

#include "game/Form1.h"
#include "store/PictureFiles.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    store::setEventYield([] { QCoreApplication::processEvents(); });

    game::Form1 window(QCoreApplication::applicationDirPath());
    window.Form_Load();
    window.show();
    return app.exec();
}

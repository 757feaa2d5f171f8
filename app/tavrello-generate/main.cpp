// `tavrello-pack generate` in a process of its own: only this program loads OpenCV.
#include "generate/Generate.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return generate::runGenerate(arguments);
}

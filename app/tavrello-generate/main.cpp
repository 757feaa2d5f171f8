// `tavrello-pack generate` in a process of its own: only this program loads OpenCV.
#include "CommandLine.h"
#include "generate/Generate.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return pack::runCommand({"generate", "", &generate::runGenerate}, arguments);
}

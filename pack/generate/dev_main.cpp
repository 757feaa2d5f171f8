// Temporary stand-in for `tavrello-pack generate` until the dispatcher calls runGenerate.
#include "generate/Generate.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return generate::runGenerate(app.arguments().mid(1));
}

#include "GameLauncher.h"

#include <QCoreApplication>
#include <QProcess>

namespace editor {

bool startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

QString gameBesideEditor()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrello");
}

} // namespace editor

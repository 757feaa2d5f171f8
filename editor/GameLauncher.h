#pragma once
// How the editor starts the game on the pairs it plays: a process of its own that goes on when
// the editor closes. Tests put a recorder in its place.

#include <QString>
#include <QStringList>
#include <functional>

namespace editor {

// Starts `program` with `arguments`; false when it could not be started.
using GameLauncher = std::function<bool(const QString& program, const QStringList& arguments)>;

// Starts the program detached from the editor.
bool startDetached(const QString& program, const QStringList& arguments);

// The game beside the editor's own executable: in a build both lie in bin/, installed both in
// the program folder (the launchers on the path are links to them).
QString gameBesideEditor();

} // namespace editor

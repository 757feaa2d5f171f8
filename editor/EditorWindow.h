#pragma once
// The editor's one window: the pairs in a list on the left, the selected pair on the right, and
// the file work (open, save, build a database) and the ways to add pairs in its menus.

#include "GameLauncher.h"
#include "PairDocument.h"
#include "PairList.h"

#include <QMainWindow>
#include <memory>

class QLabel;
class QMenu;
class QSettings;
class QTemporaryDir;

namespace editor {

class GenerateDialog;
class PairPanel;

class EditorWindow : public QMainWindow
{
    Q_OBJECT
  public:
    // Recent files are kept in `settingsFile` (an INI file), or in the user's settings when empty.
    explicit EditorWindow(const QString& settingsFile = {}, QWidget* parent = nullptr);
    ~EditorWindow() override;

    // A pairs folder, a manifest or a database. On failure the window keeps what it had and
    // says why in its message bar.
    bool openPath(const QString& path);
    // Saves to the manifest the pairs came from; a database or a new document asks where.
    bool save();
    bool saveTo(const QString& manifestPath);
    // Asks before replacing `path`; shows progress while the writer works.
    bool buildTo(const QString& path);
    // Where Build Database... proposes to write: the author's data folder
    // (~/.local/share/tavrello, made when missing), named after the pairs folder.
    QString suggestedDatabase() const;
    // Builds the pairs without errors, as they are now, into a database of the editor's own and
    // starts the game on it. Pairs left out, or why nothing starts, are said in the message bar.
    bool play();
    // The database play() built last; removed with the window.
    QString playedDatabase() const;
    void setGameLauncher(GameLauncher launcher) { m_launchGame = std::move(launcher); }
    bool addPairFromPictures(const QString& original, const QString& modified);
    // Opens the generator's dialog on a photo (not modal; it adds what the author keeps).
    GenerateDialog* generateFrom(const QString& photo);

    PairDocument* document() { return &m_document; }
    PairPanel* panel() const { return m_panel; }
    PairList* pairList() const { return m_list; }
    // The last sentence about something that went wrong, empty when all is well.
    QString problem() const;
    QStringList recentFiles() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void createActions();
    void showProblem(const QString& sentence);
    void updateTitle();
    bool maybeSave();
    void rememberRecent(const QString& path);
    void fillRecentMenu();
    // Writes `manifest` to `path` in a worker, with a progress dialog of that title; returns
    // what went wrong, empty on success.
    QString writeDatabase(const pack::Manifest& manifest, const QString& path,
                          const QString& title);

    PairDocument m_document;
    QSettings* m_settings;
    PairList* m_list;
    PairPanel* m_panel;
    QLabel* m_messageBar;
    QMenu* m_recentMenu = nullptr;
    GameLauncher m_launchGame = startDetached;
    // The databases play() builds, private to this window and removed with it.
    std::unique_ptr<QTemporaryDir> m_playFolder;
};

} // namespace editor

#include "EditorWindow.h"

#include "AddPairCommand.h"
#include "GenerateDialog.h"
#include "PairPanel.h"
#include "pack/Build.h"
#include "pack/InputError.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <QToolBar>
#include <QVBoxLayout>

namespace editor {
namespace {

constexpr int kRecentFiles = 8;

// A problem text from the pack tools as the end of a sentence.
QString sentence(const QString& text)
{
    if (text.endsWith('.') || text.endsWith('?') || text.endsWith('!'))
        return text;
    return text + '.';
}

QString describe(const std::exception& e, const QString& fallbackFile)
{
    if (const auto* input = dynamic_cast<const pack::InputError*>(&e))
        return QStringLiteral("%1: %2").arg(input->file(), input->problem());
    const QString what = QString::fromLocal8Bit(e.what());
    return what.startsWith(fallbackFile) ? what : fallbackFile + ": " + what;
}

// "pair 3", "pairs 3 and 7", "pairs 3, 5 and 7", from ids in order, each once.
QString pairsNamed(const QList<qint32>& ids)
{
    QStringList words;
    for (const qint32 id : ids)
        words << QString::number(id);
    const QString last = words.takeLast();
    return words.isEmpty() ? EditorWindow::tr("pair %1").arg(last)
                           : EditorWindow::tr("pairs %1 and %2").arg(words.join(", "), last);
}

} // namespace

EditorWindow::EditorWindow(const QString& settingsFile, QWidget* parent)
    : QMainWindow(parent),
      m_settings(settingsFile.isEmpty() ? new QSettings(this)
                                        : new QSettings(settingsFile, QSettings::IniFormat, this))
{
    m_list = new PairList(&m_document, this);
    m_panel = new PairPanel(&m_document, this);
    m_messageBar = new QLabel(this);
    m_messageBar->setObjectName("messageBar");
    m_messageBar->setWordWrap(true);
    m_messageBar->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageBar->setStyleSheet(
        "QLabel { background: #fdecea; color: #8b1a1a; padding: 6px; border: 1px solid #f5c2c0; }");
    m_messageBar->hide();

    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_list);
    splitter->addWidget(m_panel);
    splitter->setStretchFactor(1, 1);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(m_messageBar);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);

    createActions();

    connect(m_list, &PairList::pairSelected, this, [this](int index) {
        if (index != m_panel->currentPair())
            m_panel->showPair(index);
    });
    connect(m_list, &PairList::rebuilt, m_panel, &PairPanel::showPair);
    connect(&m_document, &PairDocument::reset, m_list, &PairList::rebuild);
    connect(&m_document, &PairDocument::pairInserted, this, [this](int index) {
        m_list->rebuild();
        m_list->setCurrentRow(index);
    });
    connect(&m_document, &PairDocument::pairRemoved, this, [this](int index) {
        m_list->rebuild();
        m_list->setCurrentRow(std::min(index, m_document.count() - 1));
    });
    connect(&m_document, &PairDocument::pairChanged, m_list, &PairList::updateItem);
    connect(m_document.undoStack(), &QUndoStack::cleanChanged, this, &EditorWindow::updateTitle);
    connect(m_panel, &PairPanel::message, statusBar(),
            [this](const QString& text) { statusBar()->showMessage(text, 6000); });

    updateTitle();
    resize(1280, 860);
}

// The play folder goes with the window; a game still running on its database keeps reading the
// file it opened.
EditorWindow::~EditorWindow() = default;

void EditorWindow::createActions()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* openFolder = file->addAction(tr("&Open Pairs Folder..."), this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, tr("Open a pairs folder"));
        if (!folder.isEmpty())
            openPath(folder);
    });
    openFolder->setShortcut(QKeySequence::Open);
    file->addAction(tr("Open &Database..."), this, [this] {
        const QString db = QFileDialog::getOpenFileName(
            this, tr("Open a database"), {}, tr("Access databases (*.mdb *.accdb);;All files (*)"));
        if (!db.isEmpty())
            openPath(db);
    });
    m_recentMenu = file->addMenu(tr("Open &Recent"));
    fillRecentMenu();
    file->addSeparator();
    file->addAction(tr("&Save"), this, &EditorWindow::save)->setShortcut(QKeySequence::Save);
    file->addAction(tr("Save &As..."), this,
                    [this] {
                        const QString path =
                            QFileDialog::getSaveFileName(this, tr("Save the manifest"),
                                                         "manifest.json", tr("Manifest (*.json)"));
                        if (!path.isEmpty())
                            saveTo(path);
                    })
        ->setShortcut(QKeySequence::SaveAs);
    QAction* build = file->addAction(tr("&Build Database..."), this, [this] {
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Build a database"), suggestedDatabase(), tr("Access database (*.mdb)"),
            nullptr, QFileDialog::DontConfirmOverwrite);
        if (!path.isEmpty())
            buildTo(path);
    });
    build->setObjectName("buildAction");
    build->setShortcut(Qt::CTRL | Qt::Key_B);
    file->addSeparator();
    file->addAction(tr("&Quit"), this, &QWidget::close)->setShortcut(QKeySequence::Quit);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* undo = m_document.undoStack()->createUndoAction(this, tr("&Undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction* redo = m_document.undoStack()->createRedoAction(this, tr("&Redo"));
    redo->setShortcut(QKeySequence::Redo);
    edit->addAction(undo);
    edit->addAction(redo);

    QMenu* pairs = menuBar()->addMenu(tr("&Pairs"));
    QAction* addPictures = pairs->addAction(tr("Add From &Two Pictures..."), this, [this] {
        const QString filter = tr("Pictures (*.jpg *.jpeg *.png *.bmp *.gif)");
        const QString original =
            QFileDialog::getOpenFileName(this, tr("The original picture"), {}, filter);
        if (original.isEmpty())
            return;
        const QString modified = QFileDialog::getOpenFileName(
            this, tr("The modified picture"), QFileInfo(original).absolutePath(), filter);
        if (!modified.isEmpty())
            addPairFromPictures(original, modified);
    });
    QAction* generate = pairs->addAction(tr("&Generate From a Photo..."), this, [this] {
        const QString photo =
            QFileDialog::getOpenFileName(this, tr("A photo to make a pair from"), {},
                                         tr("Photos (*.jpg *.jpeg *.png *.bmp *.webp)"));
        if (!photo.isEmpty())
            generateFrom(photo);
    });
    generate->setShortcut(Qt::CTRL | Qt::Key_G);
    pairs->addSeparator();
    QAction* playAction = pairs->addAction(tr("&Play"), this, &EditorWindow::play);
    playAction->setObjectName("playAction");
    playAction->setShortcut(Qt::Key_F5);
    playAction->setToolTip(tr("Start the game on these pairs as they are now"));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    QAction* heat = view->addAction(tr("&Heat Map"));
    heat->setObjectName("heatMapAction");
    heat->setCheckable(true);
    heat->setShortcut(Qt::CTRL | Qt::Key_H);
    heat->setToolTip(tr("Tint where the pictures differ to the eye"));
    connect(heat, &QAction::toggled, m_panel, &PairPanel::setHeatMapShown);
    QAction* blink = view->addAction(tr("B&link"));
    blink->setObjectName("blinkAction");
    blink->setCheckable(true);
    blink->setShortcut(Qt::CTRL | Qt::Key_L);
    blink->setToolTip(tr("Show original and modified in turn on the right"));
    connect(blink, &QAction::toggled, m_panel, &PairPanel::setBlinking);

    QToolBar* tools = addToolBar(tr("Main"));
    tools->setObjectName("mainToolBar");
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(openFolder);
    tools->addAction(tr("Save"), this, &EditorWindow::save);
    tools->addSeparator();
    tools->addAction(undo);
    tools->addAction(redo);
    tools->addSeparator();
    tools->addAction(addPictures);
    tools->addAction(generate);
    tools->addAction(playAction);
    tools->addSeparator();
    tools->addAction(heat);
    tools->addAction(blink);
}

QString EditorWindow::problem() const
{
    return m_messageBar->isHidden() ? QString() : m_messageBar->text();
}

void EditorWindow::showProblem(const QString& text)
{
    m_messageBar->setText(text);
    m_messageBar->setVisible(!text.isEmpty());
}

void EditorWindow::updateTitle()
{
    QString title = tr("Tavrello Editor");
    if (!m_document.path().isEmpty())
        title += QStringLiteral(" — ") + m_document.path();
    setWindowTitle(title + QStringLiteral("[*]"));
    setWindowModified(m_document.isModified());
}

bool EditorWindow::openPath(const QString& path)
{
    if (!maybeSave())
        return false;
    const QFileInfo info(path);
    try {
        if (!info.exists())
            throw pack::InputError(path, tr("there is no such file or folder"));
        if (info.isDir()) {
            const QString manifest = QDir(path).filePath("manifest.json");
            if (!QFileInfo::exists(manifest))
                throw pack::InputError(path, tr("this folder holds no manifest.json, so it is "
                                                "not a pairs folder (generate and extract write "
                                                "one)"));
            m_document.openManifest(manifest);
        } else if (info.suffix().compare("json", Qt::CaseInsensitive) == 0) {
            m_document.openManifest(path);
        } else {
            m_document.openDatabase(path);
        }
    } catch (const std::exception& e) {
        showProblem(tr("Can't open it. %1").arg(sentence(describe(e, path))));
        return false;
    }
    showProblem({});
    rememberRecent(info.absoluteFilePath());
    updateTitle();
    statusBar()->showMessage(tr("%n pair(s) read", nullptr, m_document.count()), 5000);
    return true;
}

bool EditorWindow::save()
{
    if (m_document.source() == PairDocument::Source::Manifest)
        return saveTo(m_document.path());
    const QString path = QFileDialog::getSaveFileName(this, tr("Save the manifest"),
                                                      "manifest.json", tr("Manifest (*.json)"));
    return !path.isEmpty() && saveTo(path);
}

bool EditorWindow::saveTo(const QString& manifestPath)
{
    try {
        m_document.saveAs(manifestPath);
    } catch (const std::exception& e) {
        showProblem(tr("Not saved. %1").arg(sentence(describe(e, manifestPath))));
        return false;
    }
    showProblem({});
    rememberRecent(QFileInfo(manifestPath).absoluteFilePath());
    updateTitle();
    statusBar()->showMessage(tr("Saved %1").arg(manifestPath), 5000);
    return true;
}

bool EditorWindow::buildTo(const QString& path)
{
    if (QFileInfo::exists(path) &&
        QMessageBox::question(
            this, tr("Replace the database?"), tr("%1 exists already. Replace it?").arg(path),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;

    int withErrors = 0;
    for (int i = 0; i < m_document.count(); ++i) {
        const auto worst = m_document.worstFinding(i);
        withErrors += worst && worst->severity == pack::Finding::Error;
        m_list->updateItem(i);
    }
    if (withErrors > 0 &&
        QMessageBox::question(
            this, tr("Build with errors?"),
            tr("%n pair(s) can't be played fairly as they are. Build anyway?", nullptr, withErrors),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return false;

    // Pictures read from a database or made by the generator exist only in memory until saved;
    // the writer reads files, so they wait in a folder of their own for the build's length.
    QTemporaryDir loose;
    pack::Manifest manifest;
    try {
        manifest = m_document.toManifest(loose.path());
        manifest.path = m_document.path();
    } catch (const std::exception& e) {
        showProblem(tr("No database built. %1").arg(sentence(describe(e, path))));
        return false;
    }

    const QString error = writeDatabase(manifest, path, tr("Build Database"));
    if (!error.isEmpty()) {
        showProblem(tr("No database built. %1").arg(sentence(error)));
        return false;
    }
    showProblem({});
    statusBar()->showMessage(
        tr("Built %1 with %n pair(s)", nullptr, int(manifest.pairs.size())).arg(path), 8000);
    return true;
}

QString EditorWindow::writeDatabase(const pack::Manifest& manifest, const QString& path,
                                    const QString& title)
{
    QString error;
    QProgressDialog progress(tr("Writing %1...").arg(QFileInfo(path).fileName()), QString(), 0,
                             std::max(1, int(manifest.pairs.size())), this);
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setValue(0);
    QPointer<QProgressDialog> shown(&progress);
    QThread* worker = QThread::create([&manifest, &error, path, shown] {
        try {
            pack::buildDatabase(manifest, path, true, {}, [shown](qsizetype written, qsizetype) {
                QMetaObject::invokeMethod(
                    shown.get(),
                    [shown, written] {
                        if (shown)
                            shown->setValue(int(written));
                    },
                    Qt::QueuedConnection);
            });
        } catch (const std::exception& e) {
            error = describe(e, path);
        }
    });
    QEventLoop waiting;
    connect(worker, &QThread::finished, &waiting, &QEventLoop::quit);
    worker->start();
    waiting.exec();
    worker->wait();
    delete worker;
    progress.reset();
    return error;
}

QString EditorWindow::suggestedDatabase() const
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tavrello";
    QDir().mkpath(folder);
    // A pairs folder called "garden" suggests garden.mdb; anything else the game's own name.
    QString name = QStringLiteral("dbImages");
    if (m_document.source() == PairDocument::Source::Manifest)
        name = QFileInfo(QFileInfo(m_document.path()).absolutePath()).fileName();
    return folder + '/' + name + ".mdb";
}

bool EditorWindow::play()
{
    QList<qint32> withErrors;
    pack::Manifest manifest;
    bool anyLevel = false;
    QTemporaryDir loose;
    try {
        // Pictures held only in memory are written out for the writer, as for a build.
        const pack::Manifest all = m_document.toManifest(loose.path());
        for (int i = 0; i < m_document.count(); ++i) {
            const auto worst = m_document.worstFinding(i);
            m_list->updateItem(i);
            if (worst && worst->severity == pack::Finding::Error) {
                withErrors << m_document.pair(i).numbers.id;
                continue;
            }
            manifest.pairs.push_back(all.pairs[std::size_t(i)]);
            const int level = m_document.pair(i).numbers.level;
            anyLevel = anyLevel || format::isPlayedLevel(level);
        }
        manifest.coordinateType = all.coordinateType;
        manifest.path = m_document.path();
    } catch (const std::exception& e) {
        showProblem(tr("Nothing to play. %1").arg(sentence(describe(e, m_document.path()))));
        return false;
    }

    const QString leftOut = withErrors.isEmpty()
                                ? QString()
                                : tr("Played without %1: %2 errors.")
                                      .arg(pairsNamed(withErrors),
                                           withErrors.size() == 1 ? tr("it has") : tr("they have"));
    if (!anyLevel) {
        if (m_document.count() == 0)
            showProblem(tr("Nothing to play: there are no pairs yet."));
        else if (manifest.pairs.empty())
            showProblem(
                tr("Nothing to play: every pair has errors (%1).").arg(pairsNamed(withErrors)));
        else
            showProblem(tr("Nothing to play: no pair without errors is at level 1, 2 or 3."));
        return false;
    }

    if (!m_playFolder || !m_playFolder->isValid())
        m_playFolder = std::make_unique<QTemporaryDir>();
    if (!m_playFolder->isValid()) {
        showProblem(tr("Nothing to play: no folder for the database (%1).")
                        .arg(m_playFolder->errorString()));
        return false;
    }
    const QString database = m_playFolder->filePath("dbImages.mdb");
    // A game started earlier still reads the file it opened: the writer puts a new file in its
    // place rather than writing into the old one.
    const QString error = writeDatabase(manifest, database, tr("Play"));
    if (!error.isEmpty()) {
        showProblem(tr("Nothing to play. %1").arg(sentence(error)));
        return false;
    }
    const QString game = gameBesideEditor();
    if (!m_launchGame(game, {database})) {
        showProblem(tr("The game %1 can't be started.").arg(game));
        return false;
    }
    showProblem(leftOut);
    statusBar()->showMessage(tr("Playing %n pair(s)", nullptr, int(manifest.pairs.size())), 8000);
    return true;
}

QString EditorWindow::playedDatabase() const
{
    return m_playFolder ? m_playFolder->filePath("dbImages.mdb") : QString();
}

bool EditorWindow::addPairFromPictures(const QString& original, const QString& modified)
{
    EditorPair pair;
    pair.numbers.id = m_document.nextFreeId();
    pair.original = Picture::fromFile(QFileInfo(original).absoluteFilePath());
    pair.modified = Picture::fromFile(QFileInfo(modified).absoluteFilePath());
    for (const Picture* picture : {&pair.original, &pair.modified})
        if (picture->image().isNull()) {
            showProblem(tr("Not added. The picture %1.").arg(picture->problem()));
            return false;
        }
    showProblem({});
    m_document.undoStack()->push(
        new AddPairCommand(&m_document, std::move(pair), tr("Add pair from two pictures")));
    return true;
}

GenerateDialog* EditorWindow::generateFrom(const QString& photo)
{
    const int current = m_list->currentRow();
    const int level = current >= 0 ? m_document.pair(current).numbers.level : 1;
    auto* dialog = new GenerateDialog(photo, level, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &GenerateDialog::kept, this, [this](const EditorPair& made) {
        EditorPair pair = made;
        pair.numbers.id = m_document.nextFreeId();
        m_document.undoStack()->push(
            new AddPairCommand(&m_document, std::move(pair), tr("Add generated pair")));
    });
    dialog->show();
    dialog->generate();
    return dialog;
}

bool EditorWindow::maybeSave()
{
    if (!m_document.isModified())
        return true;
    const auto answer = QMessageBox::question(
        this, tr("Unsaved changes"),
        tr("The pairs have changes that are not saved. Save them first?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return save();
    return answer == QMessageBox::Discard;
}

void EditorWindow::closeEvent(QCloseEvent* event)
{
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}

QStringList EditorWindow::recentFiles() const
{
    return m_settings->value("recentFiles").toStringList();
}

void EditorWindow::rememberRecent(const QString& path)
{
    QStringList recent = recentFiles();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kRecentFiles)
        recent.removeLast();
    m_settings->setValue("recentFiles", recent);
    fillRecentMenu();
}

void EditorWindow::fillRecentMenu()
{
    m_recentMenu->clear();
    for (const QString& path : recentFiles())
        m_recentMenu->addAction(path, this, [this, path] { openPath(path); });
    m_recentMenu->setEnabled(!m_recentMenu->isEmpty());
}

} // namespace editor

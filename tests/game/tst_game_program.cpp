// The programs as built, run as players and package builds run them: their command lines without
// any display, and the game's window under an X server of the test's own (skipped without Xvfb).
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kProgramDir = QStringLiteral(TAVRELLO_PROGRAM_DIR);

struct TopWindow
{
    QString id;
    QSize size;
};

// Xvfb on a display number it picks itself, with the tools that look at its windows.
class XServer
{
  public:
    XServer()
    {
        for (const char* tool : {"Xvfb", "xwininfo", "xprop"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                m_missing = QString::fromLatin1(tool);
        if (!m_missing.isEmpty())
            return;
        m_server.start("Xvfb",
                       {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
        if (m_server.waitForReadyRead(20000))
            m_env.insert("DISPLAY", ':' + QString(m_server.readAllStandardOutput()).trimmed());
        m_env.remove("QT_QPA_PLATFORM");
        m_env.insert("XDG_RUNTIME_DIR", m_runtime.path()); // as a desktop session has it
    }
    ~XServer()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    const QString& missing() const { return m_missing; }
    const QProcessEnvironment& session() const { return m_env; }

    QString run(const QString& tool, const QStringList& arguments) const
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(tool, arguments);
        p.waitForFinished(20000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }

    // Waits while `program` runs for a window titled "Tavrello" (the game's, or its message).
    std::optional<TopWindow> waitForWindow(QProcess& program) const
    {
        // moc reads no raw strings, so the pattern is written out.
        static const QRegularExpression line(
            "^\\s*(0x[0-9a-f]+) \"Tavrello\":.*\\s(\\d+)x(\\d+)\\+",
            QRegularExpression::MultilineOption);
        for (QDeadlineTimer deadline(60000); !deadline.hasExpired(); QTest::qWait(200)) {
            const QRegularExpressionMatch m = line.match(run("xwininfo", {"-root", "-children"}));
            if (m.hasMatch())
                return TopWindow{m.captured(1),
                                 QSize(m.captured(2).toInt(), m.captured(3).toInt())};
            if (program.state() != QProcess::Running)
                break;
        }
        return std::nullopt;
    }

    // The sizes of the pictures in a window's _NET_WM_ICON: width, height and that many pixels,
    // picture after picture, read as numbers.
    QList<int> iconSizes(const QString& window) const
    {
        QList<qint64> n;
        const QString text =
            run("xprop", {"-len", "4000000", "-notype", "-id", window, "32c", "_NET_WM_ICON"});
        for (const QString& word : text.section('=', 1).split(',', Qt::SkipEmptyParts))
            n << word.trimmed().toLongLong();
        QList<int> sizes;
        for (qsizetype at = 0; at + 1 < n.size(); at += 2 + n[at] * n[at + 1]) {
            if (n[at] != n[at + 1] || n[at] <= 0)
                return {};
            sizes << int(n[at]);
        }
        std::sort(sizes.begin(), sizes.end());
        return sizes;
    }

  private:
    QString m_missing;
    QProcess m_server;
    QTemporaryDir m_runtime;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
};

} // namespace

class GameProgramTests : public QObject
{
    Q_OBJECT

  private slots:
    // --help and --version on standard output with status 0, a wrong command line as one line
    // on standard error with status 2, with no display, before anything asks for one.
    void everyProgramAnswersWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // the start of stdout, or a piece of stderr
        const QString version = QStringLiteral(" " TAVRELLO_VERSION "\n");
        for (const QString program : {"tavrello", "tavrello-editor", "tavrello-pack"}) {
            const QByteArray name = program.toLatin1();
            QTest::newRow(name + " --help") << program << "--help" << 0 << "Usage: " + program;
            QTest::newRow(name + " --version") << program << "--version" << 0 << program + version;
            QTest::newRow(name + " --bogus")
                << program << "--bogus" << 2
                << (program == "tavrello-pack" ? "unknown command" : "unknown option '--bogus'");
        }
    }
    void everyProgramAnswersWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QString, argument);
        QFETCH(int, status);
        QFETCH(QString, said);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "");
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(kProgramDir + '/' + program, {argument});
        QVERIFY(p.waitForFinished(60000));
        const QString out = p.readAllStandardOutput(), err = p.readAllStandardError();
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == status, qPrintable(err));
        QVERIFY2((status == 0 ? out : err).startsWith(status == 0 ? said : program + ": ") &&
                     (status == 0 ? out : err).contains(said),
                 qPrintable(out + err));
        QCOMPARE((status == 0 ? err : out), QString());
        if (status != 0)
            QCOMPARE(err.count('\n'), 1);
    }

    // The game as built shows its window with the icon in all four sizes and says nothing on
    // start-up; given a database it plays that from any folder, and a missing one gets its
    // message and no game window. The game is copied into a program folder without a database,
    // so only the database given can open its window.
    void theGameWindowUnderX_data()
    {
        QTest::addColumn<QString>("database"); // none, in a folder of the author's, missing
        QTest::newRow("the program folder's") << "";
        QTest::newRow("in a folder with a space, a semicolon and a quote") << "garden.mdb";
        QTest::newRow("missing") << "nothing.mdb";
    }
    void theGameWindowUnderX()
    {
        QFETCH(QString, database);
        XServer x;
        if (!x.missing().isEmpty())
            QSKIP(qPrintable(x.missing() + " is not installed (scripts/deps installs it)"));
        QTemporaryDir dir;
        QString program = kProgramDir + "/tavrello";
        QStringList arguments;
        if (!database.isEmpty()) {
            const QString own = dir.filePath("my games; \"x\"");
            QVERIFY(QDir().mkpath(own) && QDir().mkpath(dir.filePath("program")));
            QVERIFY(QFile::copy(program, dir.filePath("program/tavrello")));
            QVERIFY(QFile::copy(kProgramDir + "/dbImages.mdb", own + "/garden.mdb"));
            program = dir.filePath("program/tavrello");
            arguments << own + '/' + database;
        }
        QProcess game;
        game.setProcessEnvironment(x.session());
        game.start(program, arguments);
        QVERIFY(game.waitForStarted());
        const std::optional<TopWindow> window = x.waitForWindow(game);
        QTest::qWait(300); // the window is painted, its icon set
        const QList<int> icons = window ? x.iconSizes(window->id) : QList<int>();
        game.kill();
        game.waitForFinished(10000);
        QVERIFY2(window, game.readAllStandardError().constData());
        if (database == "nothing.mdb") {
            QVERIFY(window->size != QSize(944, 584)); // the message, not the game
            return;
        }
        QCOMPARE(window->size, QSize(944, 584));
        QCOMPARE(icons, (QList<int>{32, 48, 128, 256}));
        QCOMPARE(QString(game.readAllStandardError()), QString());
    }
};

QTEST_MAIN(GameProgramTests)
#include "tst_game_program.moc"

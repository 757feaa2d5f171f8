// The real programs as players and package builds run them: their command lines without any
// display, and the game's window under an X server of the test's own (skipped without Xvfb).
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <optional>

namespace {

const QString kProgramDir = QStringLiteral(TAVRELLO_PROGRAM_DIR);

// The environment of a console or an ssh session: no display of any kind.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "");
    return env;
}

struct TopWindow
{
    QString id;
    QString name;
    QSize size;
};

// An X server for one test, on a display number it picks itself.
class XServer
{
  public:
    XServer()
    {
        for (const char* tool : {"Xvfb", "xwininfo", "xprop"})
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                m_missing = QString::fromLatin1(tool);
                return;
            }
        m_server.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten",
                                "tcp", "-noreset"});
        if (m_server.waitForReadyRead(20000))
            m_display = ':' + QString::fromLatin1(m_server.readAllStandardOutput()).trimmed();
    }
    ~XServer()
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
    }
    // Why there is no server: a tool that is not installed.
    const QString& missing() const { return m_missing; }
    const QString& display() const { return m_display; }

    // The environment of a desktop session on this display.
    QProcessEnvironment session(const QString& runtimeDir) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", m_display);
        env.insert("XDG_RUNTIME_DIR", runtimeDir);
        return env;
    }

    QString tool(const QString& program, const QStringList& arguments) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_display);
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }

    // The mapped windows right below the root.
    QList<TopWindow> topWindows() const
    {
        QList<TopWindow> windows;
        // moc reads no raw strings: the patterns are written out.
        static const QRegularExpression line(
            "^\\s*(0x[0-9a-f]+) \"([^\"]*)\".*\\s(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+");
        for (const QString& text : tool("xwininfo", {"-root", "-children"}).split('\n')) {
            const QRegularExpressionMatch m = line.match(text);
            if (!m.hasMatch())
                continue;
            if (!tool("xwininfo", {"-id", m.captured(1)}).contains("IsViewable"))
                continue;
            windows.append({m.captured(1), m.captured(2),
                            QSize(m.captured(3).toInt(), m.captured(4).toInt())});
        }
        return windows;
    }

    // Waits for a mapped window of that title; the game's own is 944 x 584.
    std::optional<TopWindow> waitForWindow(const QString& name, QProcess& program) const
    {
        QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired() && program.state() == QProcess::Running) {
            for (const TopWindow& w : topWindows())
                if (w.name == name)
                    return w;
            QTest::qWait(200);
        }
        return std::nullopt;
    }

  private:
    QString m_missing;
    QProcess m_server;
    QString m_display;
};

// The sizes of the icon pictures a window carries in _NET_WM_ICON: width, height and that many
// pixels, picture after picture, read as numbers (xprop draws them otherwise, as the locale
// allows).
QList<int> iconSizes(const XServer& x, const QString& window)
{
    const QString text =
        x.tool("xprop", {"-len", "4000000", "-notype", "-id", window, "32c", "_NET_WM_ICON"});
    QList<qint64> numbers;
    for (const QString& word : text.section('=', 1).split(',', Qt::SkipEmptyParts))
        numbers << word.trimmed().toLongLong();
    QList<int> sizes;
    for (qsizetype at = 0; at + 1 < numbers.size();) {
        const qint64 width = numbers[at], height = numbers[at + 1];
        if (width != height || width <= 0 || at + 2 + width * height > numbers.size())
            return {}; // not a list of square pictures
        sizes << int(width);
        at += 2 + width * height;
    }
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

void stop(QProcess& program)
{
    if (program.state() == QProcess::Running) {
        program.terminate();
        if (!program.waitForFinished(10000))
            program.kill();
    }
    program.waitForFinished(10000);
}

} // namespace

class GameProgramTests : public QObject
{
    Q_OBJECT

  private slots:
    // --help and --version on standard output with status 0, a wrong command line as one line
    // on standard error with status 2: with no display, before anything asks for one.
    void everyProgramAnswersWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // the start of stdout, or a piece of stderr
        const QString version = QStringLiteral(TAVRELLO_VERSION);
        QTest::newRow("tavrello --help")
            << "tavrello" << QStringList{"--help"} << 0 << "Usage: tavrello [DATABASE]\n";
        QTest::newRow("tavrello --version")
            << "tavrello" << QStringList{"--version"} << 0 << "tavrello " + version + "\n";
        QTest::newRow("tavrello --bogus")
            << "tavrello" << QStringList{"--bogus"} << 2 << "tavrello: unknown option '--bogus'";
        QTest::newRow("tavrello with two databases")
            << "tavrello" << QStringList{"a.mdb", "b.mdb"} << 2 << "one argument too many";
        QTest::newRow("tavrello-editor --help") << "tavrello-editor" << QStringList{"--help"} << 0
                                                << "Usage: tavrello-editor [FOLDER | DATABASE]\n";
        QTest::newRow("tavrello-editor --version") << "tavrello-editor" << QStringList{"--version"}
                                                   << 0 << "tavrello-editor " + version + "\n";
        QTest::newRow("tavrello-editor --bogus") << "tavrello-editor" << QStringList{"--bogus"} << 2
                                                 << "tavrello-editor: unknown option";
        QTest::newRow("tavrello-pack --help")
            << "tavrello-pack" << QStringList{"--help"} << 0 << "Usage: tavrello-pack COMMAND";
        QTest::newRow("tavrello-pack --version") << "tavrello-pack" << QStringList{"--version"} << 0
                                                 << "tavrello-pack " + version + "\n";
        QTest::newRow("tavrello-pack --bogus")
            << "tavrello-pack" << QStringList{"--bogus"} << 2 << "unknown command \"--bogus\"";
    }
    void everyProgramAnswersWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QProcess p;
        p.setProcessEnvironment(withoutDisplay());
        p.start(kProgramDir + '/' + program, arguments);
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == status, qPrintable(err));
        if (status == 0) {
            QVERIFY2(out.startsWith(said), qPrintable(out));
            QCOMPARE(err, QString());
        } else {
            QCOMPARE(out, QString());
            QCOMPARE(err.count('\n'), 1);
            QVERIFY2(err.endsWith('\n') && err.contains(said), qPrintable(err));
        }
    }

    // The window of the game as built carries its icon in all four sizes, and starting prints
    // nothing (the icons once were missing from the program, with a warning for each).
    void theGameWindowHasItsIconAndStartsWithoutAWarning()
    {
        XServer x;
        if (!x.missing().isEmpty())
            QSKIP(qPrintable(x.missing() + " is not installed (scripts/deps installs it)"));
        QVERIFY2(!x.display().isEmpty(), "Xvfb did not start");
        QTemporaryDir runtime;
        QProcess game;
        game.setProcessEnvironment(x.session(runtime.path()));
        game.start(kProgramDir + "/tavrello");
        QVERIFY(game.waitForStarted());
        const std::optional<TopWindow> window = x.waitForWindow("Tavrello", game);
        const QList<int> sizes = window ? iconSizes(x, window->id) : QList<int>();
        stop(game);
        QVERIFY2(window, game.readAllStandardError().constData());
        QCOMPARE(window->size, QSize(944, 584));
        QCOMPARE(sizes, (QList<int>{32, 48, 128, 256}));
        QCOMPARE(QString::fromLocal8Bit(game.readAllStandardError()), QString());
    }

    // The game given a database plays it from any folder; a missing one gets its message and no
    // game window. The game is copied into a program folder without a database of its own, so
    // only the database given can open its window.
    void theGameOpensTheDatabaseItIsGiven_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("in a folder with a space, a semicolon and a quote") << true;
        QTest::newRow("missing") << false;
    }
    void theGameOpensTheDatabaseItIsGiven()
    {
        QFETCH(bool, exists);
        XServer x;
        if (!x.missing().isEmpty())
            QSKIP(qPrintable(x.missing() + " is not installed (scripts/deps installs it)"));
        QVERIFY2(!x.display().isEmpty(), "Xvfb did not start");
        QTemporaryDir dir;
        const QString program = dir.filePath("program");
        const QString own = dir.filePath("my games; \"x\"");
        QVERIFY(QDir().mkpath(program) && QDir().mkpath(own));
        QVERIFY(QFile::copy(kProgramDir + "/tavrello", program + "/tavrello"));
        if (exists)
            QVERIFY(QFile::copy(kProgramDir + "/dbImages.mdb", own + "/garden.mdb"));

        QProcess game;
        game.setProcessEnvironment(x.session(dir.path()));
        game.start(program + "/tavrello", {own + "/garden.mdb"});
        QVERIFY(game.waitForStarted());
        const std::optional<TopWindow> window = x.waitForWindow("Tavrello", game);
        QTest::qWait(500); // a game window would follow the message at once
        const QList<TopWindow> all = x.topWindows();
        stop(game);
        QVERIFY2(window, game.readAllStandardError().constData());
        // The message box bears the game's title too, but not its size.
        const auto games = std::count_if(
            all.begin(), all.end(), [](const TopWindow& w) { return w.size == QSize(944, 584); });
        QCOMPARE(games, exists ? 1 : 0);
        QCOMPARE(all.size(), 1);
    }
};

QTEST_MAIN(GameProgramTests)
#include "tst_game_program.moc"

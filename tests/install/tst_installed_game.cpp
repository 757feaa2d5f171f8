// The installed game played by someone who can't write its program folder: run by
// test-package.sh over a package unpacked into a temporary root, as an unprivileged user.
// The program folder is taken from TAVRELLO_INSTALLED_FOLDER.
#include "game/Form1.h"
#include "support/MessageBoxes.h"
#include "support/ProgramEnd.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using support::Message;

class InstalledGame : public QObject
{
    Q_OBJECT

    QString m_folder;
    QList<Message> m_shown;

    static QStringList leftovers(const QString& folder)
    {
        return QDir(folder).entryList({"orig.jpg", "mod.jpg"}, QDir::Files | QDir::System);
    }

  private slots:
    void initTestCase()
    {
        m_folder = qEnvironmentVariable("TAVRELLO_INSTALLED_FOLDER");
        QVERIFY2(QFile::exists(m_folder + "/dbImages.mdb"), qPrintable(m_folder));
        QVERIFY2(::access(QFile::encodeName(m_folder).constData(), W_OK) != 0,
                 "the program folder must not be writable for this test");
        support::setMessagePresenter([this](const Message& m) { m_shown.append(m); });
        support::setProgramEndHandler([] { throw support::ProgramEnded{}; });
    }

    void firstPairLoadsWithoutReport_data()
    {
        QTest::addColumn<QString>("runtime"); // what $XDG_RUNTIME_DIR/tavrello is beforehand
        QTest::addColumn<QString>("used");    // the folder that must now exist, empty
        QTest::newRow("runtime folder of the player's") << "missing"
                                                        << "runtime";
        QTest::newRow("no runtime folder") << "unset"
                                           << "cache";
        QTest::newRow("runtime folder open to others") << "open"
                                                       << "cache";
        QTest::newRow("runtime folder is a link") << "link"
                                                  << "cache";
    }

    void firstPairLoadsWithoutReport()
    {
        QFETCH(QString, runtime);
        QFETCH(QString, used);
        QTemporaryDir home, run, elsewhere;
        QVERIFY(home.isValid() && run.isValid() && elsewhere.isValid());
        const QString runtimeFolder = run.filePath("tavrello");
        qputenv("HOME", QFile::encodeName(home.path()));
        if (runtime == "unset")
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run.path()));
        if (runtime == "open") {
            QVERIFY(QDir().mkdir(runtimeFolder));
            QVERIFY(::chmod(QFile::encodeName(runtimeFolder).constData(), 0777) == 0);
        } else if (runtime == "link") {
            QVERIFY(QFile::link(elsewhere.path(), runtimeFolder));
        }

        m_shown.clear();
        game::Form1 form(m_folder);
        form.Form_Load();
        form.show();
        form.Option1->setChecked(true);
        QTest::mouseClick(form.PushButton1, Qt::LeftButton);

        for (const Message& m : std::as_const(m_shown))
            qWarning("shown: %s", qPrintable(m.text));
        QVERIFY(m_shown.isEmpty());
        QVERIFY(form.gameRunning());
        QVERIFY(!form.Picture2->Picture().isNull());
        QVERIFY(!form.Picture3->Picture().isNull());

        const QString expected =
            used == "runtime" ? runtimeFolder : home.filePath(".cache/tavrello");
        QVERIFY2(QFileInfo(expected).isDir(), qPrintable(expected));
        QCOMPARE(QFileInfo(expected).permissions() &
                     (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
                 QFile::Permissions());
        QCOMPARE(leftovers(expected), QStringList());
        QCOMPARE(leftovers(m_folder), QStringList());
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());

        QTest::mouseClick(form.PushButton1, Qt::LeftButton); // End Game
        QCOMPARE(m_shown.size(), 1);
        QVERIFY(m_shown[0].text.startsWith("Game Over."));
    }
};

QTEST_MAIN(InstalledGame)
#include "tst_installed_game.moc"

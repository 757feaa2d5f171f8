#include "support/ApplicationTitle.h"
#include "support/ErrorReport.h"
#include "support/ErrorTrap.h"
#include "support/FileExists.h"
#include "support/MessageBoxes.h"
#include "support/ProgramEnd.h"
#include "support/Skin.h"
#include "support/StartOptions.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>

using namespace support;

class SupportTests : public QObject
{
    Q_OBJECT

    QList<Message> shown;

  private slots:
    void init()
    {
        shown.clear();
        setMessagePresenter([this](const Message& m) { shown.append(m); });
    }
    void cleanup() { setMessagePresenter({}); }

    void anErrorReportIsAWarningWithTheLineAndTwoBareCarriageReturns()
    {
        ShowErrorReport(QStringLiteral("in Tavrello2021/08/31.Form1.Form_Load "),
                        QStringLiteral("File not found"), 104);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Application Error"));
        QCOMPARE(shown[0].style, int(Exclamation));
        QCOMPARE(shown[0].text,
                 QStringLiteral("File not found\r\nin Tavrello2021/08/31.Form1.Form_Load at line "
                                "104\r\rPlease email screenshot of this message to ") +
                     supportAddress);
    }

    void eachFailingStatementOfAHandlerGivesOneReportInOrder()
    {
        ErrorTrap trap(QStringLiteral("in H "));
        QStringList ran;
        trap.run(102, [] { throw std::runtime_error("first"); });
        trap.run(104, [&] { ran << "104"; });
        trap.run(106, [] { throw std::runtime_error("second"); });
        trap.run(108, [&] { ran << "108"; });
        QCOMPARE(ran, (QStringList{"104", "108"}));
        // A failing condition is reported once and counts as false, so its block is skipped.
        QVERIFY(!trap.test(110, []() -> bool { throw std::runtime_error("no current row"); }));
        QCOMPARE(shown.size(), 3);
        QVERIFY(shown[0].text.startsWith("first\r\nin H at line 102\r\r"));
        QVERIFY(shown[1].text.startsWith("second\r\nin H at line 106\r\r"));
        QVERIFY(shown[2].text.startsWith("no current row\r\nin H at line 110\r\r"));
    }

    void errorsWithoutADescriptionOfOursStillReadWell_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("description");
        QTest::newRow("out of memory") << 0 << "Out of memory.";
        QTest::newRow("empty what") << 1 << "Unexpected error.";
        QTest::newRow("not a std::exception") << 2 << "Unexpected error.";
    }
    void errorsWithoutADescriptionOfOursStillReadWell()
    {
        QFETCH(int, kind);
        QFETCH(QString, description);
        ErrorTrap trap(QStringLiteral("in H "));
        trap.run(100, [&] {
            if (kind == 0)
                throw std::bad_alloc();
            if (kind == 1)
                throw std::runtime_error("");
            throw 42;
        });
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.startsWith(description + "\r\n"));
    }

    void theEndOfTheProgramPassesThroughATrap()
    {
        bool ended = false;
        setProgramEndHandler([&] { ended = true; });
        ErrorTrap trap(QStringLiteral("in H "));
        bool after = false;
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, [&] {
            trap.run(118, [] { EndProgram(); });
            after = true;
        }());
        setProgramEndHandler({});
        QVERIFY(ended);
        QVERIFY(!after);
        QVERIFY(shown.isEmpty());
    }

    void fileExists_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("exists");
        QTest::newRow("a file") << "file" << true;
        QTest::newRow("a folder") << "folder" << true;
        QTest::newRow("a missing path") << "missing" << false;
        QTest::newRow("an empty path") << "" << false;
        QTest::newRow("below a file") << "file/inside" << false;
    }
    void fileExists()
    {
        QFETCH(QString, what);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir("folder");
        QCOMPARE(FileExists(what.isEmpty() ? QString() : dir.filePath(what)), exists);
        QVERIFY(shown.isEmpty());
    }

    void titleFromProductName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("no blank keeps the name") << "Tavrello"
                                                 << "Tavrello";
        QTest::newRow("several words drop the last") << "Spot The Difference"
                                                     << "Spot The";
        QTest::newRow("long names drop words to 40")
            << "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc Dddddddddd Eeeeeeeeee"
            << "Aaaaaaaaaa Bbbbbbbbbb Cccccccccc";
        QTest::newRow("exactly 40 after one cut") << "Aaaaaaa Bbbbbbbbbb Cccccccccc Dddddddddd Ee"
                                                  << "Aaaaaaa Bbbbbbbbbb Cccccccccc Dddddddddd";
    }
    void titleFromProductName()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QCOMPARE(support::titleFromProductName(name), title);
    }

    void skin_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("coloured");
        QTest::addColumn<bool>("throws");
        QTest::addColumn<bool>("styled");
        QTest::newRow("absent") << "absent" << false << false << false;
        QTest::newRow("a folder named o.cjs") << "folder" << false << false << false;
        QTest::newRow("present") << "present" << true << false << true;
        QTest::newRow("present but unreadable") << "unreadable" << true << true << false;
    }
    void skin()
    {
        QFETCH(QString, setup);
        QFETCH(bool, coloured);
        QFETCH(bool, throws);
        QFETCH(bool, styled);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("x");
        const QString skin = dir.filePath("x/o.cjs");
        if (setup == "folder")
            QDir(dir.path()).mkdir("x/o.cjs");
        if (setup == "present") {
            QFile file(skin);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("QPushButton { font-style: italic; }");
        }
        if (setup == "unreadable") // stat calls it a file, reading it fails, also for root
            QVERIFY(QFile::link("/proc/self/mem", skin));

        QWidget window;
        const QColor white(Qt::white);
        setBackColor(window, white);
        auto* label = new QLabel("status", &window);
        auto* frame = new QGroupBox("Difficulty", &window);
        auto* option = new QRadioButton("Easy", frame);
        auto* button = new QPushButton("Start New Game", &window);
        for (QWidget* w : std::initializer_list<QWidget*>{label, frame, option, button})
            setBackColor(*w, white);

        bool threw = false;
        try {
            ApplySkin(window, dir.path());
        } catch (const std::runtime_error& e) {
            threw = true;
            QVERIFY(QString(e.what()).contains(skin));
        }
        QCOMPARE(threw, throws);
        const QColor expected = coloured ? buttonFaceColour() : white;
        for (QWidget* w : std::initializer_list<QWidget*>{&window, label, frame, option})
            QCOMPARE(backColor(*w), expected);
        QCOMPARE(backColor(*button), white);
        QCOMPARE(window.styleSheet().isEmpty(), !styled);
    }

    // The command line as a program reads it before any window (the programs' own test runs
    // --help, --version and an unknown option): names, "--", and too many names.
    void theCommandLinePassesNamesOnAndRefusesTheRest_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("refusal"); // empty: the names are passed on
        QTest::newRow("a name like the connection string's") << QStringList{"a b;c\".mdb"} << "";
        QTest::newRow("a lone dash") << QStringList{"-"} << "";
        QTest::newRow("an option after --") << QStringList{"--", "--help"} << "";
        QTest::newRow("help after a name") << QStringList{"a.mdb", "-h"} << "help";
        QTest::newRow("two names") << QStringList{"a.mdb", "b.mdb"}
                                   << "prog: \"b.mdb\" is one argument too many (try --help)\n";
        QTest::newRow("an empty name")
            << QStringList{""} << "prog: an empty name is no file (try --help)\n";
    }
    void theCommandLinePassesNamesOnAndRefusesTheRest()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, refusal);
        const StartOptions options({"prog", "1.2", "[FILE]", "Does it.\n", 1}, arguments);
        if (refusal.isEmpty()) {
            QVERIFY(!options.exitStatus());
            QCOMPARE(options.operands(), QStringList{arguments.constLast()});
        } else if (refusal == "help") {
            QCOMPARE(options.exitStatus(), 0);
            QVERIFY(options.output().startsWith("Usage: prog [FILE]\n\nDoes it.\n"));
        } else {
            QCOMPARE(options.exitStatus(), 2);
            QCOMPARE(options.error(), refusal);
        }
    }
};

QTEST_MAIN(SupportTests)
#include "tst_support.moc"

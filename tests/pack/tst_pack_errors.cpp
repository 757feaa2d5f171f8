// Everything tavrello-pack must refuse: one line on stderr naming the file and the problem,
// exit status 2, and neither the database nor a temporary file left behind.

#include "Readers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>

using namespace packtest;

namespace {

const char* const kGoodPair = R"({ "id": %1, "level": 1,
      "original": "a.jpg", "modified": "b.jpg",
      "differences": [ { "x1": 1, "y1": 2, "x2": 3, "y2": 4 }, { "x1": 1, "y1": 2, "x2": 3, "y2": 4 },
                       { "x1": 1, "y1": 2, "x2": 3, "y2": 4 }, { "x1": 1, "y1": 2, "x2": 3, "y2": 4 } ] })";

QString pair(int id)
{
    return QString::fromLatin1(kGoodPair).arg(id);
}

QString manifest(const QString& pairs, const QString& head = {})
{
    return "{ " + head + R"("pairs": [ )" + pairs + " ] }";
}

QString withDifferences(const QString& differences)
{
    return manifest(R"({ "id": 1, "level": 1, "original": "a.jpg", "modified": "b.jpg",
                         "differences": )" +
                    differences + " }");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Sizes without the disk space: the pictures are sparse.
void sparseFile(const QString& path, qint64 size)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(size));
}

} // namespace

class BuildErrors : public QObject
{
    Q_OBJECT

  private slots:
    void refuses_data()
    {
        QTest::addColumn<QString>("manifestText"); // empty: no manifest file at all
        QTest::addColumn<QString>("output");       // relative to the test folder
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("blamed"); // the file the message must name
        QTest::addColumn<QString>("problem");

        const QString box = R"({ "x1": 1, "y1": 2, "x2": 3, "y2": 4 })";
        QTest::newRow("missing manifest") << QString() << "out.mdb"
                                          << ""
                                          << "manifest.json"
                                          << "no such file";
        QTest::newRow("manifest is a folder") << QString() << "out.mdb"
                                              << "manifest folder"
                                              << "manifest.json"
                                              << "folder";
        QTest::newRow("invalid JSON") << "{\n  \"pairs\": [\n    { \"id\": 1,, }\n  ]\n}"
                                      << "out.mdb"
                                      << ""
                                      << "manifest.json"
                                      << "line 3, column";
        QTest::newRow("not an object") << "[1, 2]"
                                       << "out.mdb"
                                       << ""
                                       << "manifest.json"
                                       << "JSON object";
        QTest::newRow("id is a string")
            << manifest(pair(1).replace("\"id\": 1", "\"id\": \"1\"")) << "out.mdb"
            << ""
            << "manifest.json"
            << "pairs[0].id";
        QTest::newRow("id is a fraction")
            << manifest(pair(1).replace("\"id\": 1", "\"id\": 1.5")) << "out.mdb"
            << ""
            << "manifest.json"
            << "pairs[0].id";
        QTest::newRow("level out of range")
            << manifest(pair(1).replace("\"level\": 1", "\"level\": 4")) << "out.mdb"
            << ""
            << "manifest.json"
            << "pairs[0].level";
        QTest::newRow("pairs missing") << "{}"
                                       << "out.mdb"
                                       << ""
                                       << "manifest.json"
                                       << "pairs";
        QTest::newRow("duplicate id")
            << manifest(pair(3) + "," + pair(4) + "," + pair(3)) << "out.mdb"
            << ""
            << "manifest.json"
            << "pairs[2].id";
        QTest::newRow("three differences")
            << withDifferences("[" + box + "," + box + "," + box + "]") << "out.mdb"
            << ""
            << "manifest.json"
            << "exactly 4 differences";
        QTest::newRow("five differences")
            << withDifferences("[" + box + "," + box + "," + box + "," + box + "," + box + "]")
            << "out.mdb"
            << ""
            << "manifest.json"
            << "exactly 4 differences";
        QTest::newRow("corner missing") << withDifferences(R"([{ "x1": 1, "y1": 2, "x2": 3 },)" +
                                                           box + "," + box + "," + box + "]")
                                        << "out.mdb"
                                        << ""
                                        << "manifest.json"
                                        << "differences[0].y2";
        QTest::newRow("corner is a string")
            << withDifferences(R"([{ "x1": 1, "y1": "2", "x2": 3, "y2": 4 },)" + box + "," + box +
                               "," + box + "]")
            << "out.mdb"
            << ""
            << "manifest.json"
            << "differences[0].y1";
        QTest::newRow("unknown key")
            << manifest(pair(1).replace("\"original\"", "\"orignal\"")) << "out.mdb"
            << ""
            << "manifest.json"
            << "orignal";
        QTest::newRow("unknown units") << manifest(pair(1), R"("units": "inches", )") << "out.mdb"
                                       << ""
                                       << "manifest.json"
                                       << "units";
        QTest::newRow("unknown coordinate type")
            << manifest(pair(1), R"("coordinate_type": "byte", )") << "out.mdb"
            << ""
            << "manifest.json"
            << "coordinate_type";
        QTest::newRow("too large for integer")
            << manifest(pair(1).replace("\"x2\": 3", "\"x2\": 40000"),
                        R"("coordinate_type": "integer", )")
            << "out.mdb"
            << ""
            << "manifest.json"
            << "does not fit coordinate_type \"integer\"";
        QTest::newRow("too small for integer")
            << manifest(pair(1).replace("\"x2\": 3", "\"x2\": -32769"),
                        R"("coordinate_type": "integer", )")
            << "out.mdb"
            << ""
            << "manifest.json"
            << "does not fit";
        QTest::newRow("pixels overflow long")
            << manifest(pair(1).replace("\"x2\": 3", "\"x2\": 200000000"), R"("units": "pixels", )")
            << "out.mdb"
            << ""
            << "manifest.json"
            << "3000000000 twips";
        QTest::newRow("fraction for long")
            << manifest(pair(1).replace("\"x2\": 3", "\"x2\": 2.5")) << "out.mdb"
            << ""
            << "manifest.json"
            << "not a whole number";
        QTest::newRow("too large for single")
            << manifest(pair(1).replace("\"x2\": 3", "\"x2\": 1e39"),
                        R"("coordinate_type": "single", )")
            << "out.mdb"
            << ""
            << "manifest.json"
            << "single";
        QTest::newRow("missing picture")
            << manifest(pair(1).replace("b.jpg", "gone.jpg")) << "out.mdb"
            << ""
            << "gone.jpg"
            << "no such file";
        QTest::newRow("picture is a folder")
            << manifest(pair(1).replace("b.jpg", "sub")) << "out.mdb"
            << "picture folder"
            << "sub"
            << "not a regular file";
        QTest::newRow("picture of 16 MiB") << manifest(pair(1)) << "out.mdb"
                                           << "16 MiB picture"
                                           << "b.jpg"
                                           << "16 MiB";
        QString many;
        for (int id = 1; id <= 70; ++id)
            many += (id > 1 ? "," : "") +
                    pair(id).replace("a.jpg", "big1.jpg").replace("b.jpg", "big2.jpg");
        QTest::newRow("result over 2 GiB") << manifest(many) << "out.mdb"
                                           << "big pictures"
                                           << "manifest.json"
                                           << "2 GiB";
        QTest::newRow("output folder missing") << manifest(pair(1)) << "nowhere/out.mdb"
                                               << ""
                                               << "nowhere/out.mdb"
                                               << "does not exist";
        QTest::newRow("output exists") << manifest(pair(1)) << "out.mdb"
                                       << "output exists"
                                       << "out.mdb"
                                       << "--force";
    }

    void refuses()
    {
        QFETCH(QString, manifestText);
        QFETCH(QString, output);
        QFETCH(QString, setup);
        QFETCH(QString, blamed);
        QFETCH(QString, problem);

        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QDir dir(folder.path());
        writeFile(dir.filePath("a.jpg"), "picture a");
        writeFile(dir.filePath("b.jpg"), "picture b");
        if (!manifestText.isNull())
            writeFile(dir.filePath("manifest.json"), manifestText.toUtf8());
        if (setup == "manifest folder")
            QVERIFY(dir.mkdir("manifest.json"));
        if (setup == "picture folder")
            QVERIFY(dir.mkdir("sub"));
        if (setup == "16 MiB picture")
            sparseFile(dir.filePath("b.jpg"), 16 * 1024 * 1024);
        if (setup == "big pictures") {
            sparseFile(dir.filePath("big1.jpg"), 16 * 1024 * 1024 - 1);
            sparseFile(dir.filePath("big2.jpg"), 16 * 1024 * 1024 - 1);
        }
        if (setup == "output exists")
            writeFile(dir.filePath("out.mdb"), "keep me");
        const QStringList before =
            dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

        const Run r = run(TAVRELLO_PACK, {"build", "manifest.json", "-o", output}, folder.path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        const QString err = QString::fromUtf8(r.err);
        QVERIFY2(err.endsWith('\n') && err.count('\n') == 1, qPrintable("not one line: " + err));
        QVERIFY2(err.startsWith("tavrello-pack: "), qPrintable(err));
        QVERIFY2(err.contains(blamed), qPrintable(err));
        QVERIFY2(err.contains(problem), qPrintable(err));

        // Nothing new in the folder: no database, no temporary file; an existing one untouched.
        QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        if (setup == "output exists") {
            QFile kept(dir.filePath("out.mdb"));
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), QByteArray("keep me"));
        }
    }

    // A write that fails halfway (the file size limit stands in for a full disk): status 1,
    // one line, and the half-written file gone.
    void writeFails()
    {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        writeFile(dir.filePath("a.jpg"), QByteArray(300'000, 'a'));
        writeFile(dir.filePath("b.jpg"), QByteArray(300'000, 'b'));
        writeFile(dir.filePath("manifest.json"), manifest(pair(1)).toUtf8());
        QProcess p;
        p.setWorkingDirectory(folder.path());
        p.setChildProcessModifier([] {
            const rlimit limit{256 * 1024, 256 * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        p.start(TAVRELLO_PACK, {"build", "manifest.json", "-o", "out.mdb"});
        QVERIFY(p.waitForFinished(-1));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QByteArray err = p.readAllStandardError();
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains("out.mdb") && err.contains("cannot write"), err.constData());
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden),
                 QStringList({"a.jpg", "b.jpg", "manifest.json"}));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command") << QStringList{"bake"};
        QTest::newRow("no output") << QStringList{"build", "m.json"};
        QTest::newRow("no manifest") << QStringList{"build", "-o", "x.mdb"};
        QTest::newRow("-o without a name") << QStringList{"build", "m.json", "-o"};
        QTest::newRow("unknown option") << QStringList{"build", "m.json", "-o", "x.mdb", "--fast"};
        QTest::newRow("two manifests") << QStringList{"build", "m.json", "n.json", "-o", "x.mdb"};
        QTest::newRow("two outputs")
            << QStringList{"build", "m.json", "-o", "x.mdb", "-o", "y.mdb"};
    }

    void badArguments()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir folder;
        const Run r = run(TAVRELLO_PACK, arguments, folder.path());
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(r.err.startsWith("tavrello-pack: "));
        QCOMPARE(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }

    void help_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("program") << QStringList{"--help"} << "build";
        QTest::newRow("command") << QStringList{"build", "--help"} << "--force";
    }

    void help()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, mentions);
        const Run r = run(TAVRELLO_PACK, arguments);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY(r.out.startsWith("Usage: tavrello-pack"));
        QVERIFY(r.out.contains(mentions.toUtf8()));
    }
};

QTEST_GUILESS_MAIN(BuildErrors)
#include "tst_pack_errors.moc"

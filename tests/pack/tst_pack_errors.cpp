// What every tavrello-pack command must refuse: one line on stderr naming the file and the
// problem, exit status 2 (1 when the disk fails), and nothing left behind.

#include "Readers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>

using namespace packtest;

namespace {

const QString kBox = R"({ "x1": 1, "y1": 2, "x2": 3, "y2": 4 })";

QString pair(int id)
{
    return QStringLiteral(R"({ "id": %1, "level": 1, "original": "a.jpg", "modified": "b.jpg",
        "differences": [ %2, %2, %2, %2 ] })")
        .arg(id)
        .arg(kBox);
}

QString manifest(const QString& pairs, const QString& head = {})
{
    return "{ " + head + R"("pairs": [ )" + pairs + " ] }";
}

// The one-pair manifest with `from` replaced by `to`.
QString edited(const QString& from, const QString& to, const QString& head = {})
{
    return manifest(pair(1).replace(from, to), head);
}

// A file of the given bytes, or of `size` bytes without the disk space (sparse).
void writeFile(const QString& path, const QByteArray& bytes, qint64 size = -1)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        size < 0 ? void(f.write(bytes)) : void(f.resize(size));
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class PackErrors : public QObject
{
    Q_OBJECT

  private slots:
    void buildRefuses_data()
    {
        QTest::addColumn<QString>("manifestText"); // null: no manifest file at all
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("blamed"); // the file the message must name
        QTest::addColumn<QString>("problem");
        const auto row = [](const char* name, const QString& text, const char* setup,
                            const char* blamed, const char* problem) {
            QTest::newRow(name) << text << QString(setup) << QString(blamed) << QString(problem);
        };
        const char* m = "manifest.json";
        const QString ok = manifest(pair(1));
        const QString integer = R"("coordinate_type": "integer", )";
        row("missing manifest", {}, "", m, "no such file");
        row("manifest is a folder", {}, "manifest folder", m, "folder");
        row("invalid JSON", "{\n  \"pairs\": [\n    { \"id\": 1,, }\n  ]\n}", "", m,
            "line 3, column");
        row("not an object", "[1, 2]", "", m, "JSON object");
        row("pairs missing", "{}", "", m, "pairs");
        row("id is a string", edited("\"id\": 1", "\"id\": \"1\""), "", m, "pairs[0].id");
        row("id is a fraction", edited("\"id\": 1", "\"id\": 1.5"), "", m, "pairs[0].id");
        row("level out of range", edited("\"level\": 1", "\"level\": 4"), "", m, "pairs[0].level");
        row("duplicate id", manifest(pair(3) + "," + pair(4) + "," + pair(3)), "", m,
            "pairs[2].id");
        row("two differences", edited(kBox + ", " + kBox, kBox), "", m, "exactly 4 differences");
        row("corner missing", edited(", \"y2\": 4 }", " }"), "", m, "differences[0].y2");
        row("corner is a string", edited("\"y1\": 2", "\"y1\": \"2\""), "", m, "differences[0].y1");
        row("unknown key", edited("\"original\"", "\"orignal\""), "", m, "orignal");
        row("unknown units", manifest(pair(1), R"("units": "inches", )"), "", m, "units");
        row("unknown coordinate type", manifest(pair(1), R"("coordinate_type": "byte", )"), "", m,
            "coordinate_type");
        row("too large for integer", edited("\"x2\": 3", "\"x2\": 40000", integer), "", m,
            "does not fit coordinate_type \"integer\"");
        row("pixels overflow long",
            edited("\"x2\": 3", "\"x2\": 200000000", R"("units": "pixels", )"), "", m,
            "3000000000 twips");
        row("fraction for long", edited("\"x2\": 3", "\"x2\": 2.5"), "", m, "not a whole number");
        row("too large for single",
            edited("\"x2\": 3", "\"x2\": 1e39", R"("coordinate_type": "single", )"), "", m,
            "single");
        row("missing picture", edited("b.jpg", "gone.jpg"), "", "gone.jpg", "no such file");
        row("picture is a folder", edited("b.jpg", "sub"), "picture folder", "sub",
            "not a regular file");
        row("picture of 16 MiB", ok, "16 MiB picture", "b.jpg", "16 MiB");
        QString many;
        for (int id = 1; id <= 70; ++id)
            many += (id > 1 ? "," : "") +
                    pair(id).replace("a.jpg", "big1.jpg").replace("b.jpg", "big2.jpg");
        row("result over 2 GiB", manifest(many), "big pictures", m, "2 GiB");
        row("output folder missing", ok, "output nowhere/out.mdb", "nowhere/out.mdb",
            "does not exist");
        row("output exists", ok, "out.mdb exists", "out.mdb", "--force");
    }

    void buildRefuses()
    {
        QFETCH(QString, manifestText);
        QFETCH(QString, setup);
        QFETCH(QString, blamed);
        QFETCH(QString, problem);
        QTemporaryDir folder;
        const QDir dir(folder.path());
        writeFile(dir.filePath("a.jpg"), "picture a");
        writeFile(dir.filePath("b.jpg"), "picture b");
        if (!manifestText.isNull())
            writeFile(dir.filePath("manifest.json"), manifestText.toUtf8());
        if (setup == "manifest folder")
            dir.mkdir("manifest.json");
        if (setup == "picture folder")
            dir.mkdir("sub");
        if (setup == "16 MiB picture")
            writeFile(dir.filePath("b.jpg"), {}, 16 * 1024 * 1024);
        if (setup == "big pictures") {
            writeFile(dir.filePath("big1.jpg"), {}, 16 * 1024 * 1024 - 1);
            writeFile(dir.filePath("big2.jpg"), {}, 16 * 1024 * 1024 - 1);
        }
        if (setup == "out.mdb exists")
            writeFile(dir.filePath("out.mdb"), "keep me");
        const QStringList before = entries(folder.path());

        const QString output = setup.startsWith("output ") ? setup.mid(7) : "out.mdb";
        const Run r = runPack({"build", "manifest.json", "-o", output}, folder.path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        const QString err = QString::fromUtf8(r.err);
        QVERIFY2(err.count('\n') == 1 && err.endsWith('\n'), qPrintable(err));
        QVERIFY2(err.startsWith("tavrello-pack: ") && err.contains(blamed), qPrintable(err));
        QVERIFY2(err.contains(problem), qPrintable(err));
        // Nothing new in the folder: no database, no temporary file; an existing one untouched.
        QCOMPARE(entries(folder.path()), before);
        if (setup == "out.mdb exists") {
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
        QVERIFY(p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(err.count('\n') == 1 && err.contains("out.mdb: cannot write"), err.constData());
        QCOMPARE(entries(folder.path()), QStringList({"a.jpg", "b.jpg", "manifest.json"}));
    }

    // Every command reads its arguments the same way: --name value and --name=value alike,
    // --help on stdout with status 0, anything wrong as one line and status 2.
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // the start of stdout, or a piece of stderr
        const auto row = [](const QString& name, const QStringList& arguments,
                            const QString& said) {
            QTest::newRow(qPrintable(name))
                << arguments << (said.startsWith("Usage") ? 0 : 2) << said;
        };
        row("program help", {"--help"}, "Usage: tavrello-pack COMMAND");
        for (const QString c : {"build", "list", "extract", "check", "sheet", "generate"})
            row(c + " help", {c, "--help"}, "Usage: tavrello-pack " + c);
        row("no command", {}, "which command?");
        row("unknown command", {"bake"}, "unknown command \"bake\"");
        row("build without output", {"build", "m.json"}, "give -o OUT.mdb");
        row("build without manifest", {"build", "-o", "x.mdb"}, "build: needs");
        row("build, -o without a name", {"build", "m.json", "-o"}, "missing value");
        row("build, two outputs", {"build", "m.json", "-o", "x", "-o", "y"},
            "--output given twice");
        row("build, two manifests", {"build", "m.json", "n.json", "-o", "x"},
            "\"n.json\" is one argument too many");
        row("list without a file", {"list"}, "list: needs");
        row("list, missing file", {"list", "no.mdb"}, "no.mdb: ");
        row("extract without --dir", {"extract", "a.mdb"}, "--dir DIR");
        row("extract, --dir=", {"extract", "a.mdb", "--dir=out"}, "a.mdb: no such database file");
        row("check, unknown option", {"check", "a.mdb", "--fast"}, "unknown option 'fast'");
        row("sheet without -o", {"sheet", "p.mdb"}, "give -o SHEET.png");
        row("sheet, -o not a PNG", {"sheet", "p.mdb", "-o", "p.mdb"}, "a name ending in .png");
        row("sheet, missing file", {"sheet", "p.mdb", "-o", "s.png"}, "p.mdb: no such file");
        row("generate without --out", {"generate", "p.jpg", "--level", "1"},
            "needs --level N and --out DIR");
        row("generate, bad level", {"generate", "p.jpg", "--level=4", "--out", "o"},
            "--level: bad value '4'");
        row("generate, missing photo", {"generate", "p.jpg", "--level=1", "--out=o"},
            "p.jpg: no such file");
        // Access files without the pairs' table (left out when the test data is not here).
        const QString jet = QStringLiteral(TAVRELLO_JET_TESTDATA "/");
        for (const QString file : {"list northwind-jet4.mdb", "extract northwind-jet3.mdb",
                                   "check empty-jet4.mdb", "list ASampleDatabase.accdb"}) {
            QStringList words = file.split(' ');
            words[1] = jet + words[1];
            if (words[0] == "extract")
                words << "--dir"
                      << ".";
            if (QFile::exists(words[1]))
                row(file, words, words[1] + ": ");
        }
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, said);
        QTemporaryDir folder;
        const Run r = runPack(arguments, folder.path());
        QCOMPARE(r.exitCode, status);
        if (status == 0) {
            QVERIFY2(r.err.isEmpty() && r.out.startsWith(said.toUtf8()), r.out.constData());
        } else {
            QVERIFY2(r.out.isEmpty() && r.err.count('\n') == 1, r.err.constData());
            QVERIFY2(r.err.startsWith("tavrello-pack: ") && r.err.contains(said.toUtf8()),
                     r.err.constData());
        }
        QCOMPARE(entries(folder.path()), QStringList());
    }
};

QTEST_GUILESS_MAIN(PackErrors)
#include "tst_pack_errors.moc"

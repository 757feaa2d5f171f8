// writeManifest: what it writes reads back as the same pairs, in the form build reads.

#include "InputError.h"
#include "Manifest.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class ManifestWriterTest : public QObject
{
    Q_OBJECT

  private slots:
    void readsBackTheSame_data()
    {
        QTest::addColumn<QByteArray>("json");
        const QByteArray pair = R"({"id": 7, "level": 2, "original": "pictures/a.jpg",
            "modified": "../elsewhere/b.png", "differences": [
            {"x1": 0, "y1": 15, "x2": 449, "y2": 464},
            {"x1": null, "y1": null, "x2": null, "y2": null},
            {"x1": 30, "y1": null, "x2": 60, "y2": 90},
            {"x1": -15, "y1": 0, "x2": 6749, "y2": 6884}]})";
        QTest::newRow("whole twips") << "{\"pairs\": [" + pair + "]}";
        QTest::newRow("pixels become twips") << QByteArray(
            R"({"units": "pixels", "pairs": [{"id": 1, "level": 1, "original": "a.jpg",
                "modified": null, "differences": [{"x1": 1, "y1": 2, "x2": 3, "y2": 4},
                {"x1": 1, "y1": 2, "x2": 3, "y2": 4}, {"x1": 1, "y1": 2, "x2": 3, "y2": 4},
                {"x1": 1, "y1": 2, "x2": 3, "y2": 4}]}]})");
        QByteArray fractions = pair;
        fractions.replace("\"x1\": 30", "\"x1\": 30.25");
        QTest::newRow("single with fractions")
            << "{\"coordinate_type\": \"single\", \"pairs\": [" + fractions + "]}";
        QTest::newRow("no pairs") << QByteArray(R"({"coordinate_type": "integer", "pairs": []})");
    }
    void readsBackTheSame()
    {
        QFETCH(QByteArray, json);
        QTemporaryDir dir;
        const QString folder = dir.filePath("set");
        QVERIFY(QDir().mkpath(folder));
        const pack::Manifest given = pack::parseManifest(json, "given.json", folder);

        const QString path = folder + "/manifest.json";
        pack::writeManifest(given, path);
        const pack::Manifest back = pack::readManifest(path);
        QCOMPARE(back.units, pack::Units::Twips);
        QCOMPARE(back.coordinateType, given.coordinateType);
        QCOMPARE(back.pairs.size(), given.pairs.size());
        for (std::size_t i = 0; i < given.pairs.size(); ++i) {
            QCOMPARE(back.pairs[i].id, given.pairs[i].id);
            QCOMPARE(back.pairs[i].level, given.pairs[i].level);
            QCOMPARE(back.pairs[i].original, given.pairs[i].original);
            QCOMPARE(back.pairs[i].modified, given.pairs[i].modified);
            for (std::size_t k = 0; k < 4; ++k)
                QCOMPARE(back.pairs[i].differences[k].corners,
                         given.pairs[i].differences[k].corners);
        }
        // Nothing but the manifest is left in the folder: no temporary file.
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"manifest.json"});
    }

    void picturesAreRelativeToTheManifest()
    {
        QTemporaryDir dir;
        pack::Manifest m;
        pack::Pair p;
        p.original = dir.filePath("pictures/1-original.jpg");
        p.modified = dir.filePath("1-modified.jpg");
        m.pairs.push_back(p);
        QVERIFY(QDir(dir.path()).mkdir("set"));
        const QByteArray json = pack::manifestJson(m, dir.filePath("set"));
        QVERIFY(json.contains("\"original\": \"../pictures/1-original.jpg\""));
        QVERIFY(json.contains("\"modified\": \"../1-modified.jpg\""));
        QVERIFY(json.contains("\"x1\": null"));
    }

    void refusesAFolderThatIsNotThere()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("missing/manifest.json");
        QVERIFY_THROWS_EXCEPTION(pack::InputError, pack::writeManifest(pack::Manifest{}, path));
        QVERIFY(!QFile::exists(path));
    }

    void replacesTheOldManifestWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("manifest.json");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, ' '));
        old.close();
        pack::writeManifest(pack::Manifest{}, path);
        QCOMPARE(pack::readManifest(path).pairs.size(), std::size_t(0));
        QVERIFY(QFileInfo(path).size() < 1000);
    }
};

QTEST_GUILESS_MAIN(ManifestWriterTest)
#include "tst_manifest_writer.moc"

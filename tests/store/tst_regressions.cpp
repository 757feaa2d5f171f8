// Files that once crashed or hung the read path (found by fuzzing, kept in tests/store/data):
// each must now end in success or a StoreError, and the process must live on.

#include "../../store/fuzz/ReadEverything.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestRegressions : public QObject
{
    Q_OBJECT
  private slots:
    void replay_data();
    void replay();
};

void TestRegressions::replay_data()
{
    QTest::addColumn<QString>("file");
    const QDir data(TAVRELLO_SOURCE_DIR "/tests/store/data");
    const QStringList files = data.entryList({"*.mdb"}, QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());
    for (const QString& name : files)
        QTest::newRow(qPrintable(name)) << data.filePath(name);
}

void TestRegressions::replay()
{
    QFETCH(QString, file);
    QTemporaryDir dir;
    QVERIFY(QFile::copy(file, dir.filePath("dbImages.mdb")));
    storefuzz::readEverything(dir.path().toStdString());
}

QTEST_GUILESS_MAIN(TestRegressions)
#include "tst_regressions.moc"

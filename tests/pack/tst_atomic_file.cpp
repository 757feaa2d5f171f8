// Files tavrello-pack and the generator write have the permissions the author's umask asks for.
// (A write given up leaves nothing behind: tst_pack_errors fails one halfway.)
#include "pack/AtomicFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

class AtomicFileTests : public QObject
{
    Q_OBJECT

  private slots:
    void aWrittenFileHasThePermissionsTheUmaskAsksFor_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("mode");
        QTest::newRow("shared with the group and others to read") << 0022 << 0644;
        QTest::newRow("private") << 0077 << 0600;
        QTest::newRow("group may write") << 0002 << 0664;
    }
    void aWrittenFileHasThePermissionsTheUmaskAsksFor()
    {
        QFETCH(int, mask);
        QFETCH(int, mode);
        QTemporaryDir dir;
        const mode_t before = ::umask(mode_t(mask));
        pack::writeWholeFile(dir.filePath("pairs.mdb"), "bytes", false);
        ::umask(before);
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(dir.filePath("pairs.mdb")).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), mode);
    }
};

QTEST_APPLESS_MAIN(AtomicFileTests)
#include "tst_atomic_file.moc"

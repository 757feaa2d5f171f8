#include <QTest>
class TestGenerate : public QObject { Q_OBJECT };
QTEST_GUILESS_MAIN(TestGenerate)
#include "tst_generate.moc"

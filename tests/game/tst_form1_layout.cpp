// The window as it is created: every control where it belongs, in its idle state, and the clock.
#include "game/Form1.h"

#include <QtTest>
#include <algorithm>

using game::Form1;

class Form1LayoutTests : public QObject
{
    Q_OBJECT

  private slots:
    // The idle window as a player sees it, against a picture of it kept beside this test. Both
    // are shrunk to half their size before they are compared, so that font hinting and
    // anti-aliasing may differ while a moved control, another colour or another font size does not
    // pass.
    void theIdleWindowLooksAsItsReferencePicture()
    {
        Form1 form(QDir::tempPath());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QImage shot = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QString referencePath =
            QStringLiteral(TAVRELLO_SOURCE_DIR "/tests/game/data/idle-window.png");
        if (qEnvironmentVariableIsSet("TAVRELLO_UPDATE_REFERENCE"))
            QVERIFY(shot.save(referencePath));
        const QImage reference = QImage(referencePath).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.size(), reference.size());
        const auto shrink = [](const QImage& image) {
            return image.scaled(image.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        const QImage a = shrink(shot);
        const QImage b = shrink(reference);
        int differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                const int d =
                    std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
                differing += d > 32 ? 1 : 0;
            }
        const QString saved = QDir::temp().filePath("tavrello-idle-window.png");
        if (differing > a.width() * a.height() / 2000)
            shot.save(saved);
        QVERIFY2(differing <= a.width() * a.height() / 2000,
                 qPrintable(QStringLiteral("%1 of %2 shrunk pixels differ; the window is in %3")
                                .arg(differing)
                                .arg(a.width() * a.height())
                                .arg(saved)));
    }

    // Presses are measured from the picture boxes' inner corners, so their places are exact.
    void thePictureBoxesSitAtTheirPlaces()
    {
        Form1 form(QDir::tempPath());
        QCOMPARE(form.Picture2->parentWidget(), form.Picture1->inner());
        QCOMPARE(form.Picture2->geometry(), QRect(6, 6, 450, 459));
        QCOMPARE(form.Picture3->geometry(), QRect(462, 6, 450, 459));
    }

    void theWindowIsFixedAt944By584WithMinimizeButNoMaximize()
    {
        Form1 form(QDir::tempPath());
        QCOMPARE(form.size(), QSize(944, 584));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
    }

    void markersAreHiddenAndLetPressesThrough()
    {
        Form1 form(QDir::tempPath());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form.Shape1[i]->parentWidget(), form.Picture2->inner());
            QCOMPARE(form.Shape2[i]->parentWidget(), form.Picture3->inner());
            QVERIFY(!form.Shape1[i]->Visible() && !form.Shape2[i]->Visible());
            QVERIFY(form.Shape1[i]->testAttribute(Qt::WA_TransparentForMouseEvents));
        }
    }

    void aPendingPressRunsBeforeTheTickAdds()
    {
        Form1 form(QDir::tempPath());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        int secondsAtPress = -1;
        connect(form.Picture2, &game::PictureBox::mouseDown, this,
                [&] { secondsAtPress = form.secondsElapsed(); });
        QWidget* target = form.Picture2->inner();
        QCoreApplication::postEvent(
            target, new QMouseEvent(QEvent::MouseButtonPress, QPointF(20, 20),
                                    target->mapToGlobal(QPointF(20, 20)), Qt::LeftButton,
                                    Qt::LeftButton, Qt::NoModifier));
        form.Timer1_Timer();
        QCOMPARE(secondsAtPress, 0);
        QCOMPARE(form.secondsElapsed(), 1);
    }
};

QTEST_MAIN(Form1LayoutTests)
#include "tst_form1_layout.moc"

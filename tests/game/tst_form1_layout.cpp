// The window as it is created: every control where it belongs, in its idle state, and the clock.
#include "game/Form1.h"

#include <QFontInfo>
#include <QtTest>

using game::Form1;

class Form1LayoutTests : public QObject
{
    Q_OBJECT

  private slots:
    void everyControlSitsInItsContainerAtItsPlace_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("Picture1") << "Picture1" << QRect(8, 8, 928, 481);
        QTest::newRow("Picture2") << "Picture2" << QRect(6, 6, 450, 459);
        QTest::newRow("Picture3") << "Picture3" << QRect(462, 6, 450, 459);
        QTest::newRow("Frame1") << "Frame1" << QRect(8, 494, 928, 46);
        QTest::newRow("Option1") << "Option1" << QRect(16, 20, 59, 17);
        QTest::newRow("Option2") << "Option2" << QRect(88, 20, 73, 17);
        QTest::newRow("Option3") << "Option3" << QRect(183, 20, 57, 17);
        QTest::newRow("PushButton1") << "PushButton1" << QRect(8, 548, 928, 27);
        QTest::newRow("Label1") << "Label1" << QRect(9, 546, 3, 15);
    }
    void everyControlSitsInItsContainerAtItsPlace()
    {
        QFETCH(QString, control);
        QFETCH(QRect, geometry);
        Form1 form(QDir::tempPath());
        const QMap<QString, QPair<QWidget*, QWidget*>> controls{
            {"Picture1", {form.Picture1, &form}},
            {"Picture2", {form.Picture2, form.Picture1->inner()}},
            {"Picture3", {form.Picture3, form.Picture1->inner()}},
            {"Frame1", {form.Frame1, &form}},
            {"Option1", {form.Option1, form.Frame1}},
            {"Option2", {form.Option2, form.Frame1}},
            {"Option3", {form.Option3, form.Frame1}},
            {"PushButton1", {form.PushButton1, &form}},
            {"Label1", {form.Label1, &form}},
        };
        const auto [widget, container] = controls.value(control);
        QCOMPARE(widget->parentWidget(), container);
        QCOMPARE(widget->geometry(), geometry);
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

    void theWindowOpensIdle()
    {
        Form1 form(QDir::tempPath());
        QCOMPARE(form.PushButton1->text(), QStringLiteral("Start New Game"));
        QVERIFY(form.Option1->isChecked());
        QVERIFY(!form.Option2->isChecked() && !form.Option3->isChecked());
        QVERIFY(form.Frame1->isEnabled());
        QCOMPARE(form.Frame1->title(), QStringLiteral("Difficulty"));
        QVERIFY(form.Picture2->Picture().isNull());
        QVERIFY(form.Picture3->Picture().isNull());
        QVERIFY(form.Label1->Caption().isEmpty());
        QVERIFY(!form.Timer1->Enabled());
        QCOMPARE(form.Timer1->Interval(), 0);
        QCOMPARE(form.MousePointer(), 0);
        QCOMPARE(form.SecondsElapsed, 0);
        QVERIFY(!form.GameRunning);
        QVERIFY(!form.ImageRecordset);
    }

    void markersAreHiddenRedOutlinesAtTheirDesignPlaces()
    {
        Form1 form(QDir::tempPath());
        const float shape1Lefts[] = {225, 810, 1395, 1980};
        const float shape2Lefts[] = {495, 1035, 1575, 2115};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(form.Shape1[i]->parentWidget(), form.Picture2->inner());
            QCOMPARE(form.Shape2[i]->parentWidget(), form.Picture3->inner());
            QVERIFY(!form.Shape1[i]->Visible() && !form.Shape2[i]->Visible());
            QCOMPARE(form.Shape1[i]->Left(), shape1Lefts[i]);
            QCOMPARE(form.Shape1[i]->Top(), 6345.0f);
            QCOMPARE(form.Shape2[i]->Left(), shape2Lefts[i]);
            QCOMPARE(form.Shape2[i]->Top(), 6300.0f);
            QCOMPARE(form.Shape1[i]->Width(), 420.0f);
            QCOMPARE(form.Shape2[i]->Height(), 285.0f);
            QVERIFY(form.Shape1[i]->testAttribute(Qt::WA_TransparentForMouseEvents));
        }
    }

    void fontsAreArialBold()
    {
        Form1 form(QDir::tempPath());
        for (QWidget* w :
             std::initializer_list<QWidget*>{&form, form.Frame1, form.Option1, form.Label1}) {
            QCOMPARE(w->font().family(), QStringLiteral("Arial"));
            QCOMPARE(w->font().pointSizeF(), 9.0);
            QVERIFY(w->font().bold());
        }
        QCOMPARE(form.PushButton1->font().pointSizeF(), 11.25);
        QVERIFY(form.PushButton1->font().bold());
        // Arial resolves to a metric-compatible face, not to some other sans serif.
        QVERIFY2(QFontInfo(form.font()).family().contains("Liberation Sans") ||
                     QFontInfo(form.font()).family() == "Arial",
                 qPrintable(QFontInfo(form.font()).family()));
    }

    void backgroundsAreWhiteWhereTheWindowSaysSo()
    {
        Form1 form(QDir::tempPath());
        for (QWidget* w : std::initializer_list<QWidget*>{&form, form.Frame1, form.Option1,
                                                          form.Option2, form.Option3, form.Label1})
            QCOMPARE(w->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(form.PushButton1->palette().color(QPalette::Button), QColor(Qt::white));
        QCOMPARE(form.Picture2->backgroundRole(), QPalette::Base);
    }

    void tabOrderRunsHardMediumEasyThenTheButton()
    {
        Form1 form(QDir::tempPath());
        const auto nextTabStop = [](QWidget* w) {
            do
                w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus));
            return w;
        };
        QCOMPARE(nextTabStop(form.Option3), static_cast<QWidget*>(form.Option2));
        QCOMPARE(nextTabStop(form.Option2), static_cast<QWidget*>(form.Option1));
        QCOMPARE(nextTabStop(form.Option1), static_cast<QWidget*>(form.PushButton1));
    }

    void theLabelLiesBeneathTheButton()
    {
        Form1 form(QDir::tempPath());
        const QObjectList children = form.children();
        QVERIFY(children.indexOf(form.Label1) < children.indexOf(form.PushButton1));
    }

    void aMarkerReachingPastItsBoxIsCutOffAtTheEdge()
    {
        Form1 form(QDir::tempPath());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        game::ShapeMarker* marker = form.Shape1[0];
        marker->setLeft(6000);
        marker->setTop(6000);
        marker->setWidth(3000);
        marker->setHeight(3000);
        marker->show();
        QVERIFY(marker->geometry().right() > form.Picture2->inner()->width());
        const QImage shot = form.grab().toImage();
        // Just right of the left picture box lies the gap between the boxes: no red there.
        const QPoint gap = form.Picture2->mapTo(&form, QPoint(form.Picture2->width() + 2, 420));
        QVERIFY(shot.pixelColor(gap) != QColor(Qt::red));
        const QPoint inside =
            form.Picture2->inner()->mapTo(&form, marker->geometry().topLeft() + QPoint(0, 5));
        QCOMPARE(shot.pixelColor(inside), QColor(Qt::red));
    }

    void readingAMarkersLeftBackGivesWhatWasWritten()
    {
        Form1 form(QDir::tempPath());
        form.Shape1[1]->setLeft(1234.5f);
        QCOMPARE(form.Shape1[1]->Left(), 1234.5f);
        form.Shape1[1]->setWidth(0.25f);
        QCOMPARE(form.Shape1[1]->Width(), 0.25f);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, form.Shape1[1]->setWidth(-1));
    }

    void theClockTicksOnlyWhileEnabledWithAnInterval_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("ticks");
        QTest::newRow("enabled with interval 0") << true << 0 << false;
        QTest::newRow("disabled with interval 20") << false << 20 << false;
        QTest::newRow("enabled with interval 20") << true << 20 << true;
    }
    void theClockTicksOnlyWhileEnabledWithAnInterval()
    {
        QFETCH(bool, enabled);
        QFETCH(int, interval);
        QFETCH(bool, ticks);
        Form1 form(QDir::tempPath());
        form.Timer1->setEnabled(enabled);
        form.Timer1->setInterval(interval);
        QTest::qWait(150);
        QCOMPARE(form.SecondsElapsed > 0, ticks);
        form.Timer1->setEnabled(false);
        const int stopped = form.SecondsElapsed;
        QTest::qWait(80);
        QCOMPARE(form.SecondsElapsed, stopped);
    }

    void aPendingPressRunsBeforeTheTickAdds()
    {
        Form1 form(QDir::tempPath());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        int secondsAtPress = -1;
        connect(form.Picture2, &game::PictureBox::mouseDown, this,
                [&] { secondsAtPress = form.SecondsElapsed; });
        QWidget* target = form.Picture2->inner();
        QCoreApplication::postEvent(
            target, new QMouseEvent(QEvent::MouseButtonPress, QPointF(20, 20),
                                    target->mapToGlobal(QPointF(20, 20)), Qt::LeftButton,
                                    Qt::LeftButton, Qt::NoModifier));
        form.Timer1_Timer();
        QCOMPARE(secondsAtPress, 0);
        QCOMPARE(form.SecondsElapsed, 1);
    }
};

QTEST_MAIN(Form1LayoutTests)
#include "tst_form1_layout.moc"

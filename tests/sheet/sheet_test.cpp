// New sheet and paper colour: a paper button only chooses; the new sheet fills the canvas.
#include "sheetwindow.h"

#include <QApplication>
#include <QtTest>

namespace {

const QString newSheetNotice = QStringLiteral("紙をとりかえましたよ！");

int visibleTopLevels()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += widget->isVisible() ? 1 : 0;
    return count;
}

} // namespace

class SheetTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void paperColour_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QRgb>("paper");
        QTest::newRow("black") << 0 << qRgb(0, 0, 0);
        QTest::newRow("white") << 1 << qRgb(255, 255, 255);
        QTest::newRow("red") << 2 << qRgb(255, 0, 0);
        QTest::newRow("blue") << 3 << qRgb(0, 0, 255);
        QTest::newRow("yellow") << 4 << qRgb(255, 255, 0);
        QTest::newRow("purple") << 5 << qRgb(255, 0, 255);
        QTest::newRow("orange, lighter than its button") << 6 << qRgb(255, 162, 0);
        QTest::newRow("green") << 7 << qRgb(0, 255, 0);
    }

    void paperColour()
    {
        QFETCH(int, index);
        QFETCH(QRgb, paper);
        SheetWindow t;
        QVERIFY(t.exposed);
        t.stamp(40, 40);
        t.stamp(200, 250);
        const QImage painted = t.canvas();

        SheetWindow::click(t.ui.紙の色[index]);
        QCOMPARE(t.canvas(), painted);
        QCOMPARE(t.beeps, 0);
        QCOMPARE(t.ui.InfoDis->text(), frmMain::DefaultNotice);

        // The sheet is replaced at once, without a question.
        SheetWindow::click(t.ui.btnNew);
        QCOMPARE(visibleTopLevels(), 1);
        const QString wrong = notAll(t.canvas(), paper);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(t.ui.InfoDis->text(), newSheetNotice);
        QCOMPARE(t.beeps, 1);
        QVERIFY(t.ui.InfoDisTime->isActive());

        // The paper colour stays for the sheets that follow.
        t.InfoDisTime_Tick();
        t.stamp(100, 100);
        SheetWindow::click(t.ui.btnNew);
        const QString stillWrong = notAll(t.canvas(), paper);
        QVERIFY2(stillWrong.isEmpty(), qPrintable(stillWrong));
        QCOMPARE(t.beeps, 3);
    }

    void indexOutOfRangeKeepsThePaper()
    {
        SheetWindow t;
        SheetWindow::click(t.ui.紙の色[2]);
        for (std::int16_t index : {std::int16_t(-1), std::int16_t(8), std::int16_t(32767)})
            t.紙の色_Click(index);
        SheetWindow::click(t.ui.btnNew);
        const QString wrong = notAll(t.canvas(), qRgb(255, 0, 0));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }

    // A new sheet leaves the brush and the side panel as they were.
    void brushAndSidePanelUntouched()
    {
        SheetWindow t;
        SheetWindow::click(t.ui.赤色);
        SheetWindow::click(t.ui.太い);
        t.関係ないやつ_MouseMove(1, 0, 600.0f, 300.0f);
        const QImage panel = t.ui.関係ないやつ->grab().toImage();

        SheetWindow::click(t.ui.紙の色[3]);
        SheetWindow::click(t.ui.btnNew);
        QCOMPARE(t.ui.関係ないやつ->grab().toImage(), panel);

        // A thick red disc (radius 100 twips, 6.7 px) on the blue sheet.
        t.stamp(100, 100);
        const QImage canvas = t.canvas();
        QCOMPARE(canvas.pixel(100, 100), qRgb(255, 0, 0));
        QCOMPARE(canvas.pixel(105, 100), qRgb(255, 0, 0));
        QCOMPARE(canvas.pixel(100, 94), qRgb(255, 0, 0));
        QCOMPARE(canvas.pixel(108, 100), qRgb(0, 0, 255));
        QCOMPARE(canvas.pixel(100, 91), qRgb(0, 0, 255));
    }

    void newSheetRemovesAReopenedPicture()
    {
        SheetWindow t;
        t.stamp(30, 30);
        SheetWindow::click(t.ui.btnSave);
        SheetWindow::click(t.ui.btnNew);
        SheetWindow::click(t.ui.btnOpen);
        QCOMPARE(t.canvas().pixel(30, 30), qRgb(0, 0, 0));

        SheetWindow::click(t.ui.紙の色[6]);
        SheetWindow::click(t.ui.btnNew);
        const QString wrong = notAll(t.canvas(), qRgb(255, 162, 0));
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(t.beeps, 4);
        QVERIFY(t.reports.isEmpty());
    }
};

QTEST_MAIN(SheetTest)
#include "sheet_test.moc"

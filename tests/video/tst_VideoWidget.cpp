#include "tests/support/TestMain.h"
#include "video/VideoWidget.h"

#include <QImage>
#include <QtTest>

// The camera view's overlay: triangle and ring colours from the drone's
// verdicts and the step tables.
class TestVideoWidget : public QObject {
    Q_OBJECT

private slots:
    void overlayColoursFollowTheVerdicts_data() {
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("triangle");
        QTest::addColumn<int>("ring");
        QTest::newRow("pos 0") << 0 << 0 << int(Blue) << int(Red);
        QTest::newRow("pos 0 with frame") << 0 << 3 << int(Blue) << int(Red);
        QTest::newRow("pos 1 without frame") << 1 << 0 << int(Blue) << int(Blue);
        QTest::newRow("pos 1 with frame") << 1 << 1 << int(Green) << int(Green);
        QTest::newRow("pos 2 with frame") << 2 << 1 << int(Blue) << int(Blue);
    }

    void overlayColoursFollowTheVerdicts() {
        QFETCH(int, pos);
        QFETCH(int, frame);
        QFETCH(int, triangle);
        QFETCH(int, ring);
        VideoWidget forward;
        forward.onImageFrame(whiteFrame(480, 640));
        forward.onCirclePos(kRing, kRing, kRing, pos, frame, 0, false);
        QImage shown = forward.display().toImage();
        QCOMPARE(int(colourAt(shown, triangleBottom(210, 220))), triangle);
        QCOMPARE(int(colourAt(shown, ringPoint())), ring);

        // The downward table: step 12 has its apex at (240, 195).
        VideoWidget downward;
        downward.onImageFrame(whiteFrame(640, 480));
        downward.onCirclePos(kRing, kRing, kRing, pos, frame, 12, true);
        shown = downward.display().toImage();
        QCOMPARE(int(colourAt(shown, triangleBottom(240, 195))), triangle);
        QCOMPARE(int(colourAt(shown, triangleBottom(160, 355))), int(None));
    }

    void invalidStepDrawsRingsOnly_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("isDownView");
        QTest::newRow("13 forward") << 13 << false;
        QTest::newRow("-1 forward") << -1 << false;
        QTest::newRow("13 downward") << 13 << true;
    }

    void invalidStepDrawsRingsOnly() {
        QFETCH(int, index);
        QFETCH(bool, isDownView);
        VideoWidget widget;
        QVERIFY(widget.targetTriangle(index, isDownView).isEmpty());
        widget.onImageFrame(whiteFrame(640, 640));
        widget.onCirclePos(kRing, kRing.translated(100, 0), kRing.translated(200, 0), 1, 1, index,
                           isDownView);
        const QImage shown = widget.display().toImage();
        QCOMPARE(colourAt(shown, ringPoint()), Green);
        QCOMPARE(colourAt(shown, ringPoint() + QPoint(100, 0)), Green);
        QCOMPARE(colourAt(shown, ringPoint() + QPoint(200, 0)), Green);
        // No green anywhere below the rings: no triangle was drawn.
        for (int y = 100; y < shown.height(); y += 3) {
            for (int x = 0; x < shown.width(); x += 3) {
                QVERIFY(colourAt(shown, QPoint(x, y)) == None);
            }
        }
    }

    void framesShowOnlyWithTheNextOverlay() {
        VideoWidget widget;
        widget.onCirclePos(kRing, kRing, kRing, 1, 1, 0, false);
        QVERIFY(widget.display().isNull());
        widget.onImageFrame(whiteFrame(480, 640));
        QVERIFY(widget.display().isNull());
        widget.onCirclePos(kRing, kRing, kRing, 1, 1, 0, false);
        QCOMPARE(widget.display().size(), QSize(480, 640));
        QImage black(480, 640, QImage::Format_RGB32);
        black.fill(Qt::black);
        widget.onImageFrame(black);
        QCOMPARE(widget.display().toImage().pixelColor(400, 600), QColor(Qt::white));
    }

private:
    enum Colour { None, Blue, Green, Red };
    static Colour colourAt(const QImage& image, QPoint p) {
        const QColor c = image.pixelColor(p);
        if (c.red() > 200 && c.green() < 60 && c.blue() < 60) {
            return Red;
        }
        if (c.green() > 200 && c.red() < 60 && c.blue() < 60) {
            return Green;
        }
        if (c.blue() > 200 && c.red() < 60 && c.green() < 60) {
            return Blue;
        }
        return None;
    }
    static QImage whiteFrame(int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }
    // A point on each ring's left edge and on each triangle's bottom edge.
    static const QRect kRing;
    static QPoint ringPoint() { return QPoint(kRing.left() + 1, kRing.center().y()); }
    static QPoint triangleBottom(int apexX, int apexY) { return QPoint(apexX + 30, apexY + 200); }
};

const QRect TestVideoWidget::kRing(20, 20, 40, 40);

NIMBRA_GUI_TEST_MAIN(TestVideoWidget)
#include "tst_VideoWidget.moc"

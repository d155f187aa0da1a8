#include "Calibration/BCBoard.h"
#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ScreenScale.h"
#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"
#include "tests/support/TestMain.h"

#include <QImage>
#include <QScreen>
#include <QtTest>

// The drawn board must agree pixel for pixel with the lattice the ordering
// assumes: circle centres, circle size, mark discs and the rings around them.
class TestBCBoard : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The preferences the checked screen size is kept in.
        QCoreApplication::setOrganizationName(QStringLiteral("NimbraTest"));
    }

    void circlesSitOnTheLattice_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1060x795") << QSize(1060, 795);
        QTest::newRow("1000x1000") << QSize(1000, 1000);
    }

    void circlesSitOnTheLattice() {
        QFETCH(QSize, size);
        BCBoard board;
        board.resize(size);
        const QImage image = render(board);
        const BCBoard::Layout layout = BCBoard::layoutFor(size.width(), size.height());
        const int r = layout.r;
        auto centre = [&](int x, int y) { return BCBoard::circleRect(layout, x, y).center(); };

        // Ordinary circles, away from the marks: black centre, black just inside
        // the radius, white just outside it; empty lattice places are white.
        const QList<QPoint> circles = {{1, 0},  {25, 0}, {0, 1},  {26, 1},
                                       {1, 18}, {0, 19}, {26, 19}};
        for (const QPoint& p : circles) {
            const QPoint c = centre(p.x(), p.y());
            QVERIFY2(isBlack(image, c.x(), c.y()),
                     qPrintable(QStringLiteral("circle %1,%2").arg(p.x()).arg(p.y())));
            QVERIFY(isBlack(image, c.x() + r - 3, c.y()));
            QVERIFY(isWhite(image, c.x() + r + 3, c.y()));
        }
        for (const QPoint& p : QList<QPoint>{{0, 0}, {2, 0}, {1, 1}, {26, 0}}) {
            const QPoint c = centre(p.x(), p.y());
            QVERIFY(isWhite(image, c.x(), c.y()));
        }
        // Vertically adjacent rows: (1, 0) and (0, 1) are 2r apart in x and y.
        QCOMPARE(centre(0, 1) - centre(1, 0), QPoint(-2 * r, 2 * r));

        // Marks: a black disc of diameter 3.5r in a white ring of diameter 4r + 10
        // that also cuts into the four diagonal neighbours.
        for (const QPoint& m : QList<QPoint>{{12, 7}, {11, 12}, {15, 12}}) {
            const QPoint c = centre(m.x(), m.y());
            QVERIFY(isBlack(image, c.x(), c.y()));
            QVERIFY(isBlack(image, c.x() + int(1.6 * r), c.y()));
            QVERIFY(isWhite(image, c.x() + int(1.9 * r), c.y()));
            const int d = int((2 * r + 2) / 1.41421356);
            QVERIFY(isWhite(image, c.x() + d, c.y() + d));
            QVERIFY(isWhite(image, c.x() - d, c.y() - d));
            // Beyond the ring the diagonal neighbour is still black.
            const int far = int((2 * r + 12) / 1.41421356);
            QVERIFY(isBlack(image, c.x() + far, c.y() + far));
        }
    }

    void radiusIsPublishedOnEveryPaint() {
        ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
        BCBoard board;
        board.resize(1060, 795);
        deal->setRadius(-99);
        render(board);
        QCOMPARE(deal->radius(), 19);
        board.resize(1000, 1000);
        render(board);
        QCOMPARE(deal->radius(), 17);
        board.resize(100, 75);
        render(board);
        QCOMPARE(deal->radius(), 0);
    }

    void latticeUnitFollowsTheCheckedScreenSize() {
        ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
        BCBoard board;
        board.resize(1060, 795);
        QScreen* shown = board.screen();
        QVERIFY(shown);
        const ScreenScale::Screen screen = ScreenScale::describe(*shown);
        ScreenScale::forget(screen);
        auto unit = [&] {
            const CMyCalculationPicThread::ScreenMetrics metrics{float(deal->screenWidthMm()),
                                                                 float(screen.sizePx.width())};
            return CMyCalculationPicThread::gridUnitCm(float(deal->radius()), metrics);
        };

        // Nothing checked: the width the screen reports.
        render(board);
        // Kept in single precision.
        QVERIFY(qAbs(deal->screenWidthMm() - shown->physicalSize().width()) < 1e-3);
        // One lattice step is 2r pixels: 38 of them at the reported size.
        QVERIFY(qAbs(unit() - 38 * shown->physicalSize().width() / screen.sizePx.width() / 10) <
                1e-5);

        // Checked against a card: the next paint carries the stored value.
        QVERIFY(ScreenScale::store(screen, 0.2));
        render(board);
        QVERIFY(qAbs(deal->screenWidthMm() - 0.2 * screen.sizePx.width()) < 1e-3);
        QVERIFY(qAbs(unit() - 38 * 0.2 / 10) < 1e-5);
        ScreenScale::forget(screen);
        render(board);
        QVERIFY(qAbs(deal->screenWidthMm() - shown->physicalSize().width()) < 1e-3);
    }

private:
    static QImage render(BCBoard& board) {
        QImage image(board.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        board.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    static bool isBlack(const QImage& image, int x, int y) { return qGray(image.pixel(x, y)) < 40; }
    static bool isWhite(const QImage& image, int x, int y) {
        return qGray(image.pixel(x, y)) > 215;
    }
};

NIMBRA_GUI_TEST_MAIN(TestBCBoard)
#include "tst_BCBoard.moc"

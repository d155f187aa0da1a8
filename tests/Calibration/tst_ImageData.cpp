#include "Calibration/ImageData.h"
#include "tests/support/TestMain.h"

#include <algorithm>

namespace {

using Pix = ImageData::ImagePoints;
using World = ImageData::BoardPoints;

// A view of n board points along a row, board x = start..start+n-1 (cm); the
// image points encode (slot, position) so a test can tell where a point came
// from after compaction and matching.
World boardRow(int start, int n) {
    World w;
    for (int i = 0; i < n; ++i) {
        w.emplace_back(static_cast<float>(start + i), 2.0f, 0.0f);
    }
    return w;
}

Pix pixelsFor(int tag, size_t n) {
    Pix p;
    for (size_t i = 0; i < n; ++i) {
        p.emplace_back(static_cast<float>(tag), static_cast<float>(i));
    }
    return p;
}

void storeView(ImageData& d, int index, int camera, int tag, const World& w) {
    QVERIFY(d.storeSorted(index, camera, pixelsFor(tag, w.size()), w));
}

void checkStereoInvariants(const std::vector<Pix>& l, const std::vector<Pix>& r,
                           const std::vector<World>& w) {
    QCOMPARE(l.size(), w.size());
    QCOMPARE(r.size(), w.size());
    for (size_t i = 0; i < w.size(); ++i) {
        QVERIFY(!w[i].empty());
        QCOMPARE(l[i].size(), w[i].size());
        QCOMPARE(r[i].size(), w[i].size());
    }
}

bool noSlotStored(const ImageData& d) {
    for (const auto* v : {&d.m_vecLeftPix_front, &d.m_vecRightPix_front, &d.m_vecLeftPix_down,
                          &d.m_vecRightPix_down}) {
        if (v->size() != 26 ||
            !std::all_of(v->begin(), v->end(), [](const Pix& p) { return p.empty(); })) {
            return false;
        }
    }
    return true;
}

}  // namespace

class TestImageData : public QObject {
    Q_OBJECT

private slots:
    void storeSortedRefusesIndexesAndCamerasWithoutSlot() {
        ImageData d;
        const World w = boardRow(0, 3);
        const Pix p = pixelsFor(1, 3);
        QVERIFY(!d.storeSorted(-1, 1, p, w));
        QVERIFY(!d.storeSorted(52, 1, p, w));
        QVERIFY(!d.storeSorted(1000, 2, p, w));
        QVERIFY(!d.storeSorted(5, 0, p, w));
        QVERIFY(!d.storeSorted(5, 3, p, w));
        QVERIFY(noSlotStored(d));
    }

    void storeAfterFailedRunNeedsAFreshStore() {
        // A failed run leaves compacted vectors: slot 20 no longer exists, and a
        // store into it must not write (or grow) anything until the next run
        // starts from a fresh store.
        ImageData d;
        storeView(d, 0, 1, 0, boardRow(0, 3));
        d.fixSortData();
        QCOMPARE(d.m_vecLeftPix_front.size(), size_t(1));
        QVERIFY(!d.storeSorted(20, 1, pixelsFor(2, 3), boardRow(0, 3)));
        QCOMPARE(d.m_vecLeftPix_front.size(), size_t(1));

        d.startRun();
        QVERIFY(d.storeSorted(20, 1, pixelsFor(2, 3), boardRow(0, 3)));
        QCOMPARE(d.m_vecLeftPix_front[20].size(), size_t(3));
    }

    void fixSortDataKeepsEveryEqualPairOfDuplicates() {
        ImageData d;
        World left{{1, 1, 0}, {2, 1, 0}, {1, 1, 0}};
        World right{{1, 1, 0}, {1, 1, 0}, {3, 1, 0}};
        QVERIFY(d.storeSorted(30, 1, pixelsFor(1, 3), left));
        QVERIFY(d.storeSorted(30, 2, pixelsFor(2, 3), right));
        d.fixSortData();
        QCOMPARE(d.m_vecStereoWorld_down.size(), size_t(1));
        // Two left copies x two right copies of (1,1,0).
        QCOMPARE(d.m_vecStereoWorld_down[0].size(), size_t(4));
        checkStereoInvariants(d.m_vecStereoLeftPix_down, d.m_vecStereoRightPix_down,
                              d.m_vecStereoWorld_down);
    }

    void fixSortDataNeverReadsPastAShortImageList() {
        // A board list longer than its image list is a broken hand-over; matching
        // uses only the points both lists have.
        ImageData d;
        QVERIFY(d.storeSorted(1, 1, pixelsFor(1, 2), boardRow(0, 6)));
        QVERIFY(d.storeSorted(1, 2, pixelsFor(2, 6), boardRow(0, 6)));
        d.fixSortData();
        QCOMPARE(d.m_vecStereoWorld_front.size(), size_t(1));
        QCOMPARE(d.m_vecStereoWorld_front[0].size(), size_t(2));
    }
};

NIMBRA_CORE_TEST_MAIN(TestImageData)
#include "tst_ImageData.moc"

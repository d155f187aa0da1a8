// The simulated camera views must show the board exactly where the rig's
// ground truth puts it: the calibration that the desktop computes from them is
// compared with that truth.
#include "BoardImage.h"
#include "CameraViewRenderer.h"
#include "Rig.h"
#include "TestMain.h"

#include <opencv2/calib3d.hpp>

#include <algorithm>

namespace {

constexpr double kUnitCm = 0.93;

struct Projection {
    std::vector<cv::Point2f> circleCentres;  // every board circle, in image pixels
    std::vector<cv::Point2f> gaps;           // empty lattice positions inside the board
    double radiusPx = 0;                     // projected circle radius near the centre
};

Projection project(const Rig& rig, SimCamera camera, int pose) {
    cv::Matx33d R;
    cv::Vec3d t;
    rig.boardToCamera(camera, pose, kUnitCm, R, t);
    const CameraModel& model = rig.camera(camera);
    auto toImage = [&](const std::vector<cv::Point3f>& board) {
        std::vector<cv::Point2f> image;
        cv::Vec3d rvec;
        cv::Rodrigues(R, rvec);
        cv::projectPoints(board, rvec, t, cv::Mat(model.cameraMatrix()), cv::Mat(model.distortion),
                          image);
        return image;
    };
    std::vector<cv::Point3f> circles;
    for (const cv::Point& p : BoardLayout::circles()) {
        circles.emplace_back(float(p.x * kUnitCm), float(p.y * kUnitCm), 0.f);
    }
    std::vector<cv::Point3f> gaps;
    for (int y = 1; y < BoardLayout::kRows - 1; ++y) {
        for (int x = 1; x < BoardLayout::kColumns - 1; ++x) {
            if ((x + y) % 2 == 0) {
                gaps.emplace_back(float(x * kUnitCm), float(y * kUnitCm), 0.f);
            }
        }
    }
    Projection out;
    out.circleCentres = toImage(circles);
    out.gaps = toImage(gaps);
    const std::vector<cv::Point2f> edge = toImage(
        {cv::Point3f(13.f * float(kUnitCm), 10.f * float(kUnitCm), 0.f),
         cv::Point3f(13.f * float(kUnitCm) + float(kUnitCm / 2), 10.f * float(kUnitCm), 0.f)});
    out.radiusPx = cv::norm(edge[1] - edge[0]);
    return out;
}

bool inside(const cv::Mat& image, cv::Point2f p, int margin) {
    return p.x >= margin && p.y >= margin && p.x < image.cols - margin && p.y < image.rows - margin;
}

// Centroid of darkness in a disc around `guess`.
cv::Point2d darkCentroid(const cv::Mat& image, cv::Point2f guess, double radius) {
    double sum = 0, sx = 0, sy = 0;
    const int r = int(std::ceil(radius));
    for (int y = int(guess.y) - r; y <= int(guess.y) + r; ++y) {
        for (int x = int(guess.x) - r; x <= int(guess.x) + r; ++x) {
            if (std::hypot(x - guess.x, y - guess.y) > radius) {
                continue;
            }
            const double w = std::max(0, BoardImage::kWhite - image.at<unsigned char>(y, x));
            sum += w;
            sx += w * x;
            sy += w * y;
        }
    }
    return sum > 0 ? cv::Point2d(sx / sum, sy / sum) : cv::Point2d(-1, -1);
}

}  // namespace

class tst_CameraViewRenderer : public QObject {
    Q_OBJECT

private slots:
    void boardLayoutMatchesTheDesktopLattice() {
        const std::vector<cv::Point> circles = BoardLayout::circles();
        QCOMPARE(circles.size(), size_t(270));
        for (const cv::Point& mark : BoardLayout::marks()) {
            QVERIFY(std::find(circles.begin(), circles.end(), mark) != circles.end());
        }
        QCOMPARE(int(std::count_if(circles.begin(), circles.end(),
                                   [](const cv::Point& p) { return p.y == 1; })),
                 14);
        QCOMPARE(int(std::count_if(circles.begin(), circles.end(),
                                   [](const cv::Point& p) { return p.y == 0; })),
                 13);
    }

    void viewsShowTheBoardWhereTheTruthPutsIt_data() {
        QTest::addColumn<int>("camera");
        QTest::addColumn<int>("pose");
        for (SimCamera camera : kAllCameras) {
            for (int pose : {0, 3, 11, 19, 25}) {
                QTest::addRow("%s pose %d", cameraName(camera).c_str(), pose)
                    << int(camera) << pose;
            }
        }
    }

    // Every circle centre that the camera model projects into the picture is
    // dark, every empty lattice position is light, and the dark blobs are
    // centred on the projections to a fraction of a pixel.
    void viewsShowTheBoardWhereTheTruthPutsIt() {
        QFETCH(int, camera);
        QFETCH(int, pose);
        const Rig rig = Rig::defaults();
        const BoardImage board(24, kUnitCm);
        CameraViewRenderer renderer(rig, board);
        const SimCamera cam = SimCamera(camera);
        cv::Mat image;
        renderer.render(cam, pose, image);
        QCOMPARE(image.cols, rig.camera(cam).width);
        QCOMPARE(image.rows, rig.camera(cam).height);

        const Projection truth = project(rig, cam, pose);
        QVERIFY2(truth.radiusPx > 3.0, "the default poses must show circles of usable size");
        const int margin = int(truth.radiusPx * 2) + 2;
        int dark = 0;
        std::vector<double> errors;
        for (const cv::Point2f& c : truth.circleCentres) {
            if (!inside(image, c, margin)) {
                continue;
            }
            QVERIFY2(image.at<unsigned char>(cv::Point(c)) < 90,
                     qPrintable(QStringLiteral("light pixel at circle %1,%2").arg(c.x).arg(c.y)));
            ++dark;
            const cv::Point2d centroid = darkCentroid(image, c, truth.radiusPx * 1.35);
            errors.push_back(cv::norm(centroid - cv::Point2d(c)));
        }
        QVERIFY2(dark > 150, qPrintable(QString::number(dark)));
        for (const cv::Point2f& g : truth.gaps) {
            if (inside(image, g, margin)) {
                QVERIFY2(image.at<unsigned char>(cv::Point(g)) > 150,
                         qPrintable(QStringLiteral("dark pixel at gap %1,%2").arg(g.x).arg(g.y)));
            }
        }
        // The mark discs and their rings make the blobs next to them lopsided;
        // the median still has to sit on the truth.
        std::nth_element(errors.begin(), errors.begin() + errors.size() / 2, errors.end());
        QVERIFY2(
            errors[errors.size() / 2] < 0.25,
            qPrintable(QStringLiteral("median centre error %1 px").arg(errors[errors.size() / 2])));
    }

    void someDefaultViewsAreOnlyPartial() {
        const Rig rig = Rig::defaults();
        int partial = 0;
        for (SimCamera camera : {SimCamera::ForwardLeft, SimCamera::DownwardRight}) {
            const CameraModel& model = rig.camera(camera);
            const cv::Mat frame(model.height, model.width, CV_8UC1);
            for (int pose = 0; pose < Rig::kImagesPerCamera; ++pose) {
                const Projection truth = project(rig, camera, pose);
                const auto outside =
                    std::count_if(truth.circleCentres.begin(), truth.circleCentres.end(),
                                  [&](const cv::Point2f& c) { return !inside(frame, c, 0); });
                if (outside > 0) {
                    ++partial;
                }
                QVERIFY2(outside < 135, "no default view may lose half the board");
            }
        }
        QVERIFY(partial >= 2);
        QVERIFY(partial <= 16);
    }

    void rightCameraSitsOneBaselineFromTheLeft() {
        const Rig rig = Rig::defaults();
        const struct {
            SimCamera left, right;
            double baseline;
        } pairs[] = {{SimCamera::ForwardLeft, SimCamera::ForwardRight, 5.9},
                     {SimCamera::DownwardLeft, SimCamera::DownwardRight, 3.9}};
        for (const auto& p : pairs) {
            cv::Matx33d Rl, Rr;
            cv::Vec3d tl, tr;
            rig.boardToCamera(p.left, 7, kUnitCm, Rl, tl);
            rig.boardToCamera(p.right, 7, kUnitCm, Rr, tr);
            // Camera centres in board coordinates: −Rᵀt.
            const cv::Vec3d cl = -(Rl.t() * tl);
            const cv::Vec3d cr = -(Rr.t() * tr);
            QVERIFY(std::abs(cv::norm(cl - cr) - p.baseline) < 0.01);
        }
    }
};

NIMBRA_CORE_TEST_MAIN(tst_CameraViewRenderer)
#include "tst_CameraViewRenderer.moc"

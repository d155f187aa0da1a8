#pragma once

#include <QRunnable>
#include <QString>

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include <opencv2/core.hpp>

#include "Calibration/cmygraph/cmygraph.h"

class ImageData;

// Orders the circle centres that the drone detected in one calibration image
// and stores them, with their board coordinates, into the image's slot of the
// ImageData store. One task per image, run once on the global thread pool
// (auto-delete on).
//
// Input (startTask): the centres as sent, i.e. already mapped by the drone's
// normalising homography H into a roughly fronto-parallel board frame in which
// the lattice steps are clearly larger than the 12 px match distance; the
// indices of the mark circles at lattice (11, 12), (15, 12) and (12, 7) in
// that order (0 = not found); H itself (3x3 CV_64F, image -> sent frame).
//
// From a parsed feature packet (FeatureData) the data channel passes: index
// plus 26 for pair 5 (downward) as the image index, view1 as the camera, the
// points as the centres, size[0..2] as the marks, mat (row-major) as a 3x3
// CV_64F H; the board radius goes to setRadius and the screen's physical and
// pixel width (QScreen) to startTask.
//
// Output: sortedImagePoints() (image pixels, H^-1 applied) and objectPoints()
// (board centimetres, z = 0, single precision), index-aligned, stored by
// ImageData::storeSorted (or the store handler). Traced lines that
// contradict themselves (a circle listed twice, a circle off its lattice
// position), and a missing mark the tracing starts from, leave the placing to
// growFromMarks. Every stage that finds nothing usable, and every piece of bad
// input (non-finite values, a mark index outside the list, a singular H),
// logs one line, records why in dropReason() and ends the task without
// storing; the slot keeps what it held.
class CMyCalculationPicThread : public QRunnable {
public:
    // Physical width of the screen that shows the board, supplied by the GUI
    // side (QScreen) so that this class needs no QtGui.
    struct ScreenMetrics {
        float widthMm = 0.0f;  // millimetres
        float widthPx = 0.0f;  // pixels
    };

    // One step of 2 columns along a row and one step of 2 rows down a column,
    // in the sent frame's pixels.
    struct LatticeDirections {
        cv::Point2f row;
        cv::Point2f column;
    };

    // One traced line: every position in column order (detected or virtual)
    // and the subset that matched a detected circle, with lattice positions
    // (column, row).
    struct TracedLine {
        std::vector<size_t> allIdx;
        std::vector<size_t> foundIdx;
        std::vector<cv::Point> allGrid;
        std::vector<cv::Point> foundGrid;
    };

    // The four lists of lines of one tracing pass, top line first. The found
    // lists hold only the lines that matched at least one detected circle.
    struct TracedLines {
        std::vector<std::vector<size_t>> allIdx;
        std::vector<std::vector<size_t>> foundIdx;
        std::vector<std::vector<cv::Point>> allGrid;
        std::vector<std::vector<cv::Point>> foundGrid;
        void clear();
    };

    // How the lattice-direction stage ended.
    // Skewed: the row vector is not mostly horizontal or the column vector not
    // mostly vertical, so steps along them would not move along rows and
    // columns of the lattice.
    enum class DirectionStatus { Found, TooFewVectors, NotTwoPositive, TooClose, Skewed };

    // Why a task stored nothing for its image: the stage that gave up and
    // what it found, in words. The stage's debug line is logged as well.
    struct DropReason {
        enum class Stage {
            None,               // not dropped (or not run yet)
            Input,              // unusable input: too many centres, non-finite values
            BendVectors,        // no bent two-step path between the centres
            DensityFilter,      // no bend vector dense enough to be a lattice step
            LatticeDirections,  // no clean pair of row and column directions
            Marks,              // a mark circle missing or outside the centres
            Assembly,           // the traced lines did not give a consistent board
            Store,              // the store refused the lists (no slot, run over)
        };
        Stage stage = Stage::None;
        QString detail;
    };

    // "input", "bendVectors", "densityFilter", "latticeDirections", "marks",
    // "assembly", "store"; "" for None.
    static QString stageName(DropReason::Stage stage);

    // Where the ordered lists go when set, instead of a store: returns
    // whether they were taken. Runs on the task's thread.
    using StoreHandler =
        std::function<bool(int imageIndex, int camera, const std::vector<cv::Point2f>& imagePoints,
                           const std::vector<cv::Point3f>& boardPoints)>;

    // The last image of a run: its task is where the run's calibration starts.
    static constexpr int kLastImageIndex = 51;
    static constexpr int kLastImageCamera = 2;
    // Inputs above this many centres are rejected: the board has 270 circles
    // and the graph stage grows faster than quadratically.
    static constexpr size_t kMaxCentres = 2048;
    // A centre of the board has four neighbours and eight bend vectors; more
    // than this many per centre come only from degenerate input (many
    // centres at exactly one distance from another), and the list would grow
    // with the square of the input.
    static constexpr size_t kMaxBendVectorsPerCentre = 64;
    static constexpr uint64_t kClusteringSeed = 0x5eed0f0a11u;

    // Neither argument takes part in the ordering.
    CMyCalculationPicThread(int id, QString name);
    ~CMyCalculationPicThread() override = default;

    // On-screen board circle radius in pixels; set before startTask.
    void setRadius(float radius) { m_fRadius = radius; }
    float radius() const { return m_fRadius; }

    // Store to write into; ImageData::getInstance() when never set.
    void setStore(ImageData* store) { m_pStore = store; }

    // A calibration run stores through its own handler (which takes its lock
    // and refuses lists of a run that is over); the store is then not used.
    void setStoreHandler(StoreHandler handler) { m_storeHandler = std::move(handler); }

    // Clears outputs and traced lines, copies the inputs and computes the grid
    // unit from the radius and the screen. index is the global image number
    // (0..51), camera 1 = left, 2 = right.
    void startTask(unsigned long index, unsigned long camera,
                   const std::vector<cv::Point2f>& centres, const std::vector<size_t>& marks,
                   const cv::Mat& homography, const ScreenMetrics& screen);

    // Length of one lattice step (2 radius pixels on screen) in centimetres,
    // in float arithmetic.
    static float gridUnitCm(float radius, const ScreenMetrics& screen);

    // True for the task whose store completes a run (image 51, right camera).
    static bool isLastImageOfRun(int imageIndex, int camera);

    void run() override;

    // --- Stages, public so that each can be driven on its own. ---

    // Relative-neighbourhood graph of the input centres: i-j is an edge unless
    // some third centre is strictly closer to both (double precision).
    CMyGraph findCirclesNeighbor() const;

    // p(i) - p(k) and p(k) - p(i) for every bent two-step path i-j-k (i < k)
    // whose bend and span are both at least the bend minimum (5 px). Stops
    // and returns an empty list, setting *tooMany, once the list would exceed
    // kMaxBendVectorsPerCentre per centre.
    std::vector<cv::Point2f> findSecondNeighbor_diff(const CMyGraph& graph,
                                                     bool* tooMany = nullptr) const;

    // Keeps, in order, each vector with at least 10 vectors (itself included)
    // in the half-open 16 x 16 px box centred on it.
    std::vector<cv::Point2f> checkSecondCirclesNeighbor_diff(
        const std::vector<cv::Point2f>& vectors) const;

    // k-means (4 clusters, seeded generator) on the kept vectors; the two
    // centres with a positive dominant component, larger x first, at least
    // 2 px apart, row mostly horizontal and column mostly vertical. Fewer
    // than 4 vectors are not clustered.
    DirectionStatus findSecondCirclesNeighbor_Idx(const std::vector<cv::Point2f>& vectors,
                                                  LatticeDirections& directions) const;

    // One tracing pass from a mark (variant 0: row of 13 from (11, 12),
    // variant 1: row of 14 from (12, 7)), growing six lines up and six down.
    void findMCS(const LatticeDirections& directions, size_t detectedCount, size_t mark,
                 cv::Point markPosition, int variant);

    // The mark's row: 5 steps back, 7 (variant 0) or 8 (variant 1) forward.
    TracedLine findMarkPath(size_t mark, cv::Point markPosition, cv::Point2f rowVector, int variant,
                            size_t detectedCount);

    // One candidate line above the top and one below the bottom traced line.
    void addHolesByGraph(const LatticeDirections& directions, size_t detectedCount);

    // A whole line predicted from a source line shifted by offset.
    TracedLine findCandidateLine(const std::vector<size_t>& sourceIdx,
                                 const std::vector<cv::Point>& sourceGrid, cv::Point2f offset,
                                 size_t detectedCount);

    // Matches target against the whole point list and records it in line: a
    // detected circle goes to both lists; otherwise the entry is virtual (a
    // new point at target, or an earlier virtual point that matched) and goes
    // to the all-lists only. Returns the index recorded.
    size_t addPoint(cv::Point2f target, cv::Point sourcePosition, TracedLine& line,
                    cv::Point2f offset, size_t detectedCount);

    // addPoint with the lattice position of the entry given directly.
    size_t recordMatch(cv::Point2f target, cv::Point position, TracedLine& line,
                       size_t detectedCount);

    // Appends both candidates' all-lines (up at the front, down at the back)
    // and their found lines when their score reaches the threshold.
    void insertWinner(double scoreUp, double scoreDown, double threshold, const TracedLine& up,
                      const TracedLine& down);

    // Index of the point nearest to target (lower index on ties) and its
    // distance; the list must not be empty.
    size_t nearestPoint(cv::Point2f target, double& distance) const;

    // Assembles the found lines of both passes into the outputs: second pass
    // then first, ring-cut neighbours removed, H^-1 applied, board points from
    // the lattice positions. When a circle would be listed twice, a circle
    // lies off the place its lattice neighbours give it or nothing is placed,
    // the result is instead the one growFromMarks gives with `directions`
    // (none when null). Returns false (outputs empty) when there is no
    // result, H cannot be inverted or a mapped point is not finite.
    bool arrangeSortResult(size_t detectedCount, const LatticeDirections* directions = nullptr);

    enum class Consistency { Consistent, DroppedUnverified, Inconsistent };

    // Checks every entry against an affine fit (sent frame) of its listed
    // lattice neighbours within two steps: an entry farther from the fitted
    // place than the tolerance (0.5 of the fit's own lattice unit) makes the
    // whole result Inconsistent; entries with fewer than three non-collinear
    // neighbours cannot be checked and are removed (DroppedUnverified).
    // With maxLeverage, a fit whose LatticeFit::leverage at the entry exceeds
    // it checks nothing: an entry left without such a fit is unverified.
    Consistency checkLocalConsistency(
        std::vector<size_t>& indices, std::vector<cv::Point>& grid,
        double maxLeverage = std::numeric_limits<double>::infinity()) const;

    // Places the detected circles (index < detectedCount) that the traced
    // result indices/grid leaves out, by appending them: a circle gets the
    // lattice position a local affine fit of its placed neighbours predicts,
    // only when at least four placed circles within two lattice steps of that
    // position (three steps where two hold fewer) fit the model within the
    // completion bound (0.25 local lattice units) and keep the board's
    // orientation, the circle lies within that bound of the position, and
    // the position is on the board, not ring-cut, not taken and claimed by
    // no other circle in the same round. A circle the tracing listed in
    // tracedIdx/tracedGrid is placed only at that same position. Rounds
    // repeat with the circles placed so far until one adds nothing. Returns
    // the number of circles added; entries already there are left as they are.
    // With maxLeverage, the fit around the position must also predict it with
    // at most that LatticeFit::leverage (neighbours not all to one side).
    size_t completeAssignment(std::vector<size_t>& indices, std::vector<cv::Point>& grid,
                              const std::vector<size_t>& tracedIdx,
                              const std::vector<cv::Point>& tracedGrid, size_t detectedCount,
                              double maxLeverage = std::numeric_limits<double>::infinity()) const;

    // Places the detected circles without any traced line, for a view whose
    // traced result was rejected or that lacks a mark the tracing starts
    // from. At least two marks (distinct indices, 0 = not seen) must agree
    // with the lattice directions; they give an affine map of the lattice
    // (all three alone, two together with the directions). Each circle
    // within two lattice steps of a seen mark that is the only one within
    // twice the completion bound of the map's prediction, and within the
    // bound itself, seeds the board, which completeAssignment then grows
    // outwards with fits that do not reach far to one side. The result
    // passes the local consistency check. Returns false, logging why, with
    // indices/grid empty when the marks cannot seed the board or the result
    // is inconsistent; indices/grid are replaced, marks first.
    bool growFromMarks(const LatticeDirections& directions, std::vector<size_t>& indices,
                       std::vector<cv::Point>& grid, size_t detectedCount) const;

    // The twelve circles the mark rings cut into.
    static bool isRingCutPosition(cv::Point position);

    // Image pixels (H^-1 applied) of the sent circles that are not in the
    // sorted result (all of them when nothing was stored), in sent order;
    // empty when H cannot be inverted.
    std::vector<cv::Point2f> unusedImagePoints() const;

    // --- Read access for callers and tests. ---
    int imageIndex() const { return m_nImageIndex; }
    int camera() const { return m_nCamera; }
    float gridUnit() const { return m_fGridUnit; }
    const std::vector<cv::Point2f>& centres() const { return m_vecCentres; }
    const std::vector<cv::Point2f>& sortedImagePoints() const { return m_vecSortedImagePoints; }
    const std::vector<cv::Point3f>& objectPoints() const { return m_vecObjectPoints; }
    // Input-list index and lattice position of each output entry.
    const std::vector<size_t>& sortedIndices() const { return m_vecSortedIdx; }
    const std::vector<cv::Point>& sortedGrid() const { return m_vecSortedGrid; }
    // How many leading entries of the sorted lists the tracing placed; the
    // rest were added by completeAssignment.
    size_t tracedEntries() const { return m_nTracedEntries; }
    // True when the result was placed from the marks (growFromMarks) instead
    // of the traced lines; tracedEntries() is then 0.
    bool grownFromMarks() const { return m_bGrownFromMarks; }
    const TracedLines& tracedLines() const { return m_lines; }
    const TracedLines& savedLines() const { return m_savedLines; }
    bool stored() const { return m_bStored; }
    // Why nothing was stored; stage None when the lists were stored.
    const DropReason& dropReason() const { return m_drop; }

private:
    // Every stage of run() from the input checks to the store.
    void orderAndStore();
    bool inputIsUsable();
    bool marksAreUsable();
    void storeResult();
    void drop(DropReason::Stage stage, const QString& detail);

    int m_nImageIndex = 0;
    int m_nCamera = 0;
    std::vector<cv::Point2f> m_vecSortedImagePoints;
    std::vector<cv::Point3f> m_vecObjectPoints;
    std::vector<size_t> m_vecSortedIdx;
    std::vector<cv::Point> m_vecSortedGrid;
    float m_fRadius = 0.0f;
    std::vector<cv::Point2f> m_vecCentres;
    size_t m_nDetected = 0;  // centres as sent, before any virtual point
    std::vector<size_t> m_vecMarkIdx;
    cv::Mat m_matHomography;  // 3x3 CV_64F
    float m_fGridUnit = 0.0f;
    float m_fDensityWidth = 16.0f;
    float m_fDensityHeight = 16.0f;
    float m_fDensityMinCount = 10.0f;
    int m_nClusterAttempts = 100;
    int m_nMatchDistance = 12;
    double m_dLineThreshold = 0.0;
    double m_dDetectedWeight = 10000.0;
    float m_fBendMin = 5.0f;
    float m_fConsistencyTolerance = 0.5f;  // local lattice units
    float m_fCompletionBound = 0.25f;      // local lattice units
    size_t m_nTracedEntries = 0;
    bool m_bGrownFromMarks = false;
    TracedLines m_lines;
    TracedLines m_savedLines;
    ImageData* m_pStore = nullptr;
    StoreHandler m_storeHandler;
    bool m_bStored = false;
    DropReason m_drop;
};

#pragma once

#include <map>
#include <set>
#include <vector>

#include <opencv2/core.hpp>

// Undirected graph over integer vertex ids, used for the neighbourhood graph of
// the circle centres of one image (vertex id = index of the centre in the
// ordering task's point list).
//
// Vertices and neighbour sets are ordered ascending by id; the ordering
// algorithms iterate in that order and rely on it for their tie-breaks.
// A value type: copying a graph copies its whole adjacency.
//
// The checked operations (addVertex, addEdge, getNeighbors, getDegree) raise
// OpenCV's assertion error (cv::Exception, code cv::Error::StsAssert = -215)
// naming the failed expression, the operation and Calibration/cmygraph when a
// precondition does not hold. Callers pass only existing ids, so the error
// marks a programming fault, never an input condition.
class CMyGraph {
public:
    using Neighbors = std::set<unsigned long>;

    // Creates vertices 0 .. n-1 without edges.
    explicit CMyGraph(unsigned long n = 0);

    // Precondition: id does not exist yet.
    void addVertex(unsigned long id);
    bool doesVertexExist(unsigned long id) const;

    // Symmetric insert; both ids must exist (id1 is checked first). Adding an
    // existing edge changes nothing.
    void addEdge(unsigned long id1, unsigned long id2);

    // Unchecked and one-directional: inserts b into N(a), creating a first if
    // it is missing; N(b) is not touched, so symmetry is up to the caller.
    void judgeAddEdge(unsigned long a, unsigned long b);

    // Precondition: id exists. The reference stays valid until the graph changes.
    const Neighbors& getNeighbors(unsigned long id) const;

    // Unchecked variant of getNeighbors: id must exist (undefined otherwise).
    const Neighbors& judgeGetNeighbors(unsigned long id) const;

    // Precondition: id exists.
    size_t getDegree(unsigned long id) const;

    size_t getVerticesCount() const { return m_mapAdjacency.size(); }

    // Signed all-pairs hop counts. dist becomes an n x n CV_32S matrix (reused
    // when it already has that shape and type) addressed by vertex id, so the
    // ids must be 0 .. n-1 and points must hold at least n entries. Unknown
    // paths keep the value inf; afterwards every -1 reads 0 and every other
    // entry (i, j) is negated when points[i].x > points[j].x, so the sign tells
    // whether j lies left (negative) of i on the image x axis. With inf = -1
    // unreachable pairs read 0, like the diagonal.
    void unfloydWarshall(cv::Mat& dist, std::vector<cv::Point2f> points, int inf) const;

private:
    std::map<unsigned long, Neighbors> m_mapAdjacency;
};

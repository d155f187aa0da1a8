#include "Calibration/cmygraph/cmygraph.h"

namespace {

// The path is fixed rather than __FILE__ so the error names the same source
// whatever directory the program was built in.
constexpr const char* kSourcePath = "Calibration/cmygraph/cmygraph.cpp";

void require(bool condition, const char* expression, const char* operation, int line) {
    if (!condition) {
        cv::error(cv::Error::StsAssert, expression, operation, kSourcePath, line);
    }
}

}  // namespace

CMyGraph::CMyGraph(unsigned long n) {
    for (unsigned long id = 0; id < n; ++id) {
        addVertex(id);
    }
}

void CMyGraph::addVertex(unsigned long id) {
    require(!doesVertexExist(id), "!doesVertexExist( id )", "addVertex", __LINE__);
    m_mapAdjacency.emplace_hint(m_mapAdjacency.end(), id, Neighbors());
}

bool CMyGraph::doesVertexExist(unsigned long id) const {
    return m_mapAdjacency.count(id) != 0;
}

void CMyGraph::addEdge(unsigned long id1, unsigned long id2) {
    require(doesVertexExist(id1), "doesVertexExist( id1 )", "addEdge", __LINE__);
    require(doesVertexExist(id2), "doesVertexExist( id2 )", "addEdge", __LINE__);
    m_mapAdjacency[id1].insert(id2);
    m_mapAdjacency[id2].insert(id1);
}

void CMyGraph::judgeAddEdge(unsigned long a, unsigned long b) {
    m_mapAdjacency[a].insert(b);
}

const CMyGraph::Neighbors& CMyGraph::getNeighbors(unsigned long id) const {
    require(doesVertexExist(id), "doesVertexExist(id)", "getNeighbors", __LINE__);
    return m_mapAdjacency.find(id)->second;
}

const CMyGraph::Neighbors& CMyGraph::judgeGetNeighbors(unsigned long id) const {
    return m_mapAdjacency.find(id)->second;
}

size_t CMyGraph::getDegree(unsigned long id) const {
    require(doesVertexExist(id), "doesVertexExist(id)", "getDegree", __LINE__);
    return m_mapAdjacency.find(id)->second.size();
}

void CMyGraph::unfloydWarshall(cv::Mat& dist, std::vector<cv::Point2f> points, int inf) const {
    const int n = static_cast<int>(m_mapAdjacency.size());
    require(points.size() >= static_cast<size_t>(n), "points.size() >= getVerticesCount()",
            "unfloydWarshall", __LINE__);
    if (dist.rows != n || dist.cols != n || dist.type() != CV_32S) {
        dist.create(n, n, CV_32S);
    }
    dist.setTo(cv::Scalar(inf));

    for (const auto& [id, neighbors] : m_mapAdjacency) {
        const int i = static_cast<int>(id);
        require(i < n, "vertex ids 0 .. n-1", "unfloydWarshall", __LINE__);
        dist.at<int>(i, i) = 0;
        for (unsigned long j : neighbors) {
            require(j < static_cast<unsigned long>(n), "vertex ids 0 .. n-1", "unfloydWarshall",
                    __LINE__);
            dist.at<int>(i, static_cast<int>(j)) = 1;
        }
    }

    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < n; ++i) {
            const int ik = dist.at<int>(i, k);
            int* row = dist.ptr<int>(i);
            const int* rowK = dist.ptr<int>(k);
            for (int j = 0; j < n; ++j) {
                const int kj = rowK[j];
                const int candidate = (ik == inf || kj == inf) ? row[j] : ik + kj;
                if (row[j] != inf && row[j] < candidate) {
                    continue;
                }
                row[j] = candidate;
            }
        }
    }

    for (int i = 0; i < n; ++i) {
        int* row = dist.ptr<int>(i);
        for (int j = 0; j < n; ++j) {
            if (row[j] == -1) {
                row[j] = 0;
            } else if (points[static_cast<size_t>(i)].x > points[static_cast<size_t>(j)].x) {
                row[j] = -row[j];
            }
        }
    }
}

#include "tests/support/TestMain.h"

#include "Calibration/cmygraph/cmygraph.h"

#include <functional>

class TestCMyGraph : public QObject {
    Q_OBJECT

private:
    // The assertion error of a failed precondition, or a default exception
    // (code 0) when nothing was raised.
    static cv::Exception raised(const std::function<void()>& call) {
        try {
            call();
        } catch (const cv::Exception& e) {
            return e;
        }
        return cv::Exception();
    }

private slots:
    void buildsVerticesAndSymmetricEdges() {
        QCOMPARE(CMyGraph(0).getVerticesCount(), size_t(0));

        CMyGraph graph(3);
        QCOMPARE(graph.getVerticesCount(), size_t(3));
        graph.addEdge(0, 2);
        graph.addEdge(2, 0);
        graph.addEdge(0, 2);
        QCOMPARE(graph.getDegree(0), size_t(1));
        QCOMPARE(graph.getDegree(2), size_t(1));
        QCOMPARE(graph.getDegree(1), size_t(0));
        QVERIFY(graph.getNeighbors(2).count(0) == 1);

        graph.addVertex(7);
        QVERIFY(graph.doesVertexExist(7));
        QVERIFY(!graph.doesVertexExist(3));

        // Copies are independent.
        CMyGraph copy = graph;
        copy.addEdge(1, 7);
        QCOMPARE(graph.getDegree(1), size_t(0));
        QCOMPARE(copy.getDegree(1), size_t(1));
    }

    void judgeAddEdgeIsOneDirectional() {
        CMyGraph graph(2);
        graph.judgeAddEdge(5, 1);
        QVERIFY(graph.doesVertexExist(5));
        QCOMPARE(graph.judgeGetNeighbors(5).count(1), size_t(1));
        QCOMPARE(graph.getDegree(1), size_t(0));
    }

    void preconditionsRaiseTheAssertionError_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("expression");
        QTest::newRow("addVertex existing") << "addVertex"
                                            << "!doesVertexExist( id )";
        QTest::newRow("addEdge id1 missing") << "addEdge"
                                             << "doesVertexExist( id1 )";
        QTest::newRow("addEdge id2 missing") << "addEdge"
                                             << "doesVertexExist( id2 )";
        QTest::newRow("addEdge both missing") << "addEdge"
                                              << "doesVertexExist( id1 )";
        QTest::newRow("getNeighbors missing") << "getNeighbors"
                                              << "doesVertexExist(id)";
        QTest::newRow("getDegree missing") << "getDegree"
                                           << "doesVertexExist(id)";
    }

    void preconditionsRaiseTheAssertionError() {
        QFETCH(QString, operation);
        QFETCH(QString, expression);
        CMyGraph graph(2);
        const QByteArray tag = QTest::currentDataTag();
        std::function<void()> call;
        if (tag == "addVertex existing") {
            call = [&] { graph.addVertex(1); };
        } else if (tag == "addEdge id1 missing") {
            call = [&] { graph.addEdge(9, 1); };
        } else if (tag == "addEdge id2 missing") {
            call = [&] { graph.addEdge(1, 9); };
        } else if (tag == "addEdge both missing") {
            call = [&] { graph.addEdge(8, 9); };
        } else if (tag == "getNeighbors missing") {
            call = [&] { graph.getNeighbors(4); };
        } else {
            call = [&] { graph.getDegree(4); };
        }
        const cv::Exception e = raised(call);
        QCOMPARE(e.code, -215);
        QCOMPARE(QString::fromStdString(e.func), operation);
        QCOMPARE(QString::fromStdString(e.err), expression);
        QVERIFY(QString::fromStdString(e.file).startsWith("Calibration/cmygraph"));
        QVERIFY(QString::fromStdString(e.what()).contains(expression));
        // A failed check leaves the graph as it was.
        QCOMPARE(graph.getVerticesCount(), size_t(2));
        QCOMPARE(graph.getDegree(0) + graph.getDegree(1), size_t(0));
    }

    void unfloydWarshallSignsHopsByImageX() {
        CMyGraph isolated(2);
        cv::Mat dist;
        isolated.unfloydWarshall(dist, {{0, 0}, {5, 0}}, -1);
        QCOMPARE(dist.type(), CV_32S);
        QCOMPARE(cv::countNonZero(dist), 0);

        CMyGraph path(3);
        path.addEdge(0, 1);
        path.addEdge(1, 2);
        const std::vector<cv::Point2f> rising = {{0, 0}, {10, 0}, {20, 0}};
        path.unfloydWarshall(dist, rising, -1);
        QCOMPARE(dist.at<int>(0, 2), 2);
        QCOMPARE(dist.at<int>(2, 0), -2);
        QCOMPARE(dist.at<int>(1, 0), -1);
        QCOMPARE(dist.at<int>(1, 1), 0);

        // Equal x keeps the sign; a matrix of the right shape is reused.
        const int* data = dist.ptr<int>();
        path.unfloydWarshall(dist, {{0, 0}, {0, 5}, {0, 9}}, -1);
        QCOMPARE(dist.ptr<int>(), data);
        QCOMPARE(dist.at<int>(2, 0), 2);

        // A large sentinel survives for unreachable pairs, negated leftwards.
        CMyGraph split(3);
        split.addEdge(0, 1);
        split.unfloydWarshall(dist, rising, 1000);
        QCOMPARE(dist.at<int>(0, 2), 1000);
        QCOMPARE(dist.at<int>(2, 0), -1000);
        QCOMPARE(dist.at<int>(0, 1), 1);
    }

    void unfloydWarshallTakesShortestPath() {
        // Ring 0-1-2-3-4-0: 0 to 3 is two hops the short way round.
        CMyGraph ring(5);
        for (unsigned long i = 0; i < 5; ++i) {
            ring.addEdge(i, (i + 1) % 5);
        }
        cv::Mat dist;
        ring.unfloydWarshall(dist, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}, -1);
        QCOMPARE(dist.at<int>(0, 3), 2);
        QCOMPARE(dist.at<int>(0, 2), 2);
        QCOMPARE(dist.at<int>(4, 1), -2);
    }
};

NIMBRA_CORE_TEST_MAIN(TestCMyGraph)
#include "tst_cmygraph.moc"

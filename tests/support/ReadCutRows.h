#pragma once

#include "tests/support/ReadCuts.h"

#include <QTest>

namespace ReadCuts {

// The rows of a data-driven test over the cuts a link gives: an int column
// "cut" for fixedOrRandom, from single bytes to one read of everything.
inline void addCutRows() {
    QTest::addColumn<int>("cut");
    QTest::newRow("1-byte reads") << 1;
    QTest::newRow("536") << 536;
    QTest::newRow("1448") << 1448;
    QTest::newRow("4096") << 4096;
    QTest::newRow("one read") << (1 << 30);
    for (int seed = 0; seed < 5; ++seed) {
        QTest::newRow(qPrintable(QString("random, seed %1").arg(seed))) << -seed;
    }
}

}  // namespace ReadCuts

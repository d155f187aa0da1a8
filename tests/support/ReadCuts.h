#pragma once

#include <QByteArray>
#include <QList>

#include <cmath>
#include <functional>
#include <memory>
#include <random>

// The ways a TCP link may hand a byte stream to the reader: one read per
// write, reads of a fixed size (the path's segment size), or sizes that vary
// with the load. A cut is a function giving the next read's size.
namespace ReadCuts {

using NextSize = std::function<int()>;

inline NextSize fixed(int size) {
    return [size] { return size; };
}

// Sizes from 1 to maxSize, log-uniform so that short reads are as common as
// long ones; the same seed gives the same sizes.
inline NextSize seededRandom(unsigned seed, int maxSize) {
    auto rng = std::make_shared<std::mt19937>(seed);
    return [rng, maxSize] {
        std::uniform_real_distribution<double> logSize(0.0, std::log(double(maxSize) + 1.0));
        const int size = static_cast<int>(std::exp(logSize(*rng)));
        return size < 1 ? 1 : (size > maxSize ? maxSize : size);
    };
}

// For test tables: reads of `n` bytes when n > 0, else seeded random sizes of
// 1 to 3000 bytes, a different seed for each n.
inline NextSize fixedOrRandom(int n) {
    return n > 0 ? fixed(n) : seededRandom(unsigned(1 - n), 3000);
}

// `stream` cut into reads of the sizes `next` gives (the last may be shorter).
inline QList<QByteArray> cut(const QByteArray& stream, const NextSize& next) {
    QList<QByteArray> reads;
    for (int at = 0; at < stream.size();) {
        const int n = qMin(qMax(next(), 1), stream.size() - at);
        reads.append(stream.mid(at, n));
        at += n;
    }
    return reads;
}

}  // namespace ReadCuts

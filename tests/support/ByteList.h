#pragma once

#include <QByteArray>

#include <initializer_list>

// Bytes written as numbers, for wire sequences such as {255, 253, 24}; each
// value is taken modulo 256.
inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) {
        out.append(char(v));
    }
    return out;
}

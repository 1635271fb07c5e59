#pragma once

// Shared by the libFuzzer targets: a broken property stops the run with the
// input saved, like a crash.
#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

#pragma once

// Small helpers shared by the benchmark programs.
#include "codetablestore.h"

#include <QtGlobal>

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <vector>

// `make bench` runs every benchmark in full. CI runs each once quickly (`make bench-quick` sets
// DAHDIT_BENCH_QUICK): small sizes and few repetitions, so that a benchmark that no longer builds,
// runs or ends well fails there; its figures mean nothing and no goal is judged.
inline bool QuickBench() {
    return qEnvironmentVariableIsSet("DAHDIT_BENCH_QUICK");
}
template <typename T> T Full(T full, T quick) {
    return QuickBench() ? quick : full;
}

// Median wall time of runs of f, in milliseconds.
inline double MedianMs(int runs, const std::function<void()>& f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A Morse buffer of closed symbols drawn from a code table, with about 2 % unknown codes.
inline QString MakeBuffer(const QVector<CodeTableEntry>& rows, int symbols, quint32 seed = 7) {
    QRandomGenerator random(seed);
    QString buffer;
    for (int i = 0; i < symbols; ++i) {
        if (random.bounded(100) < 2) {
            QString unknown = QStringLiteral("........");
            for (int k = 0; k < 3; ++k)
                unknown += random.bounded(2) ? u'-' : u'.';
            buffer += unknown;
        } else {
            buffer += rows[int(random.bounded(quint32(rows.size())))].ms;
        }
        buffer += u' ';
    }
    return buffer;
}

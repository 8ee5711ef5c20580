#pragma once
// The sound card's stand-in for the tests of the tone, and of the key that sounds it.
#include "sidetone.h"

#include <QString>
#include <algorithm>
#include <atomic>

// A stand-in sound card that takes 16 frames whenever asked; the probe, which outlives it, tells.
struct Probe {
    std::atomic<bool> sounding{false}, fedWhileSuspended{false};
    std::atomic<int> writes{0}, soundingWrites{0}, opens{0}, suspends{0}, resumes{0}, period{0}; // period: of the tone
    QString state() const { // a stream that rested wakes as it is: a new one would keep the first press waiting
        return QString::asprintf("%d opened, %d rests, %d wakes, %d", +opens, +suspends, +resumes, +sounding);
    }
};

struct FakeOutput : AudioOutput {
    explicit FakeOutput(Probe& probe) : m_probe(probe) {}
    bool open() override { return ++m_probe.opens; }
    int sampleRate() const override { return 48000; }
    int bufferFrames() const override { return 80; }
    int framesFree() override {
        m_probe.fedWhileSuspended = m_probe.fedWhileSuspended || m_probe.suspends > m_probe.resumes;
        return 16;
    }
    void write(const qint16* samples, int frames) override {
        m_probe.sounding = std::any_of(samples, samples + frames, [](qint16 s) { return s != 0; });
        m_probe.soundingWrites += m_probe.sounding;
        ++m_probe.writes;
        for (int i = 0; i < frames; ++i, ++m_sinceRise)
            if (std::exchange(m_last, samples[i]) < 0 && samples[i] >= 0)
                m_probe.period = std::exchange(m_sinceRise, 0);
    }
    void suspend() override { ++m_probe.suspends; }
    void resume() override { ++m_probe.resumes; }
    Probe& m_probe;
    int m_last = 0, m_sinceRise = 0;
};

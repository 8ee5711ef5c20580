// How late the key's tone starts and stops.
//
// Presses and releases are made through Sidetone::keyDown() and keyUp(), the two calls the
// key's handlers make first. The output the audio thread writes to is wrapped so that every
// sample gets the time it leaves the output buffer: the time it was written plus the frames
// queued ahead of it, at the sample rate. The latency of a press is the time from keyDown()
// to the first sounding sample leaving the buffer; of a release, from keyUp() to the last one
// leaving it, which includes the fall of the tone.
//
// Two outputs are measured: a simulated sound card that plays at the sample rate from the
// steady clock with the same buffer length as the real one (always), and the default sound
// device through Qt Multimedia (when there is one). For the real device, "leaving the buffer"
// means taken by the sound server, as far as the stream's fill level tells; the server's and
// the hardware's own latency come on top and cannot be seen from here.
#include "sidetone.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A sound card played from the steady clock: what was written sounds one sample after the
// other from the moment the last written sample has finished.
class SimulatedCard : public AudioOutput {
public:
    explicit SimulatedCard(int bufferMs) : m_bufferFrames(m_rate * bufferMs / 1000) {}
    bool open() override { return true; }
    int sampleRate() const override { return m_rate; }
    int bufferFrames() const override { return m_bufferFrames; }
    int framesFree() override { return m_bufferFrames - queued(); }
    void write(const qint16*, int frames) override {
        const Clock::time_point now = Clock::now();
        m_end = std::max(m_end, now) + frameTime(frames);
    }

private:
    Clock::duration frameTime(int frames) const {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(frames) / m_rate));
    }
    int queued() const {
        const Clock::time_point now = Clock::now();
        if (m_end <= now)
            return 0;
        return int(std::chrono::duration<double>(m_end - now).count() * m_rate + 0.5);
    }

    const int m_rate = 48000;
    const int m_bufferFrames;
    Clock::time_point m_end = Clock::now();
};

// When sound began and ended leaving the buffer; outlives the output, which the audio thread
// destroys when it ends.
struct Record {
    std::mutex mutex;
    std::atomic<qint64> framesWritten{0};
    int bufferFrames = 0;
    int sampleRate = 0;
    std::vector<Clock::time_point> onsets;
    std::vector<Clock::time_point> offsets;
};

// Passes everything on and notes when sound begins and ends leaving the buffer.
class Stopwatch : public AudioOutput {
public:
    Stopwatch(std::unique_ptr<AudioOutput> inner, std::shared_ptr<Record> record)
        : m_inner(std::move(inner)), m_record(std::move(record)) {}

    bool open() override {
        const bool opened = m_inner->open();
        std::lock_guard<std::mutex> lock(m_record->mutex);
        m_record->bufferFrames = m_inner->bufferFrames();
        m_record->sampleRate = m_inner->sampleRate();
        return opened;
    }
    int sampleRate() const override { return m_inner->sampleRate(); }
    int bufferFrames() const override { return m_inner->bufferFrames(); }
    int framesFree() override {
        m_free = m_inner->framesFree();
        m_writtenSinceFree = 0;
        return m_free;
    }
    void write(const qint16* samples, int frames) override {
        const Clock::time_point now = Clock::now();
        const int queuedAhead = std::max(0, bufferFrames() - m_free) + m_writtenSinceFree;
        const double rate = sampleRate();
        for (int i = 0; i < frames; ++i) {
            if (samples[i] != 0) {
                const Clock::time_point leaves = now + std::chrono::duration_cast<Clock::duration>(
                                                           std::chrono::duration<double>((queuedAhead + i) / rate));
                if (!m_sounding) {
                    m_sounding = true;
                    std::lock_guard<std::mutex> lock(m_record->mutex);
                    m_record->onsets.push_back(leaves);
                }
                m_lastSound = leaves;
                m_zeros = 0;
            } else if (m_sounding && ++m_zeros >= kSilentRun) {
                m_sounding = false;
                std::lock_guard<std::mutex> lock(m_record->mutex);
                m_record->offsets.push_back(m_lastSound);
            }
        }
        m_writtenSinceFree += frames;
        m_record->framesWritten += frames;
        m_inner->write(samples, frames);
    }

private:
    static constexpr int kSilentRun = 48; // a sine at 100 Hz or more is never still this long

    std::unique_ptr<AudioOutput> m_inner;
    int m_free = 0;
    int m_writtenSinceFree = 0;
    bool m_sounding = false;
    int m_zeros = 0;
    Clock::time_point m_lastSound;
    std::shared_ptr<Record> m_record;
};

void Summary(const char* what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("  %-34s no data\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[size_t(q * double(values.size() - 1) + 0.5)]; };
    std::printf("  %-34s min %6.2f  median %6.2f  p95 %6.2f  max %6.2f ms  (n=%zu)\n", what, values.front(), at(0.5),
                at(0.95), values.back(), values.size());
}

bool Measure(const char* name, std::unique_ptr<AudioOutput> output, int presses) {
    auto record = std::make_shared<Record>();
    std::vector<Clock::time_point> downs;
    std::vector<Clock::time_point> ups;
    std::vector<double> callCost;
    {
        Sidetone sidetone(SidetoneSettings{true, 600}, std::make_unique<Stopwatch>(std::move(output), record));
        // A sound server may hold a new stream for a while before it plays; Dahdit opens its
        // stream at start-up, long before the first press, so the measurement waits for that.
        const Clock::time_point giveUp = Clock::now() + std::chrono::seconds(5);
        while (record->framesWritten < 24000 && Clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (int i = 0; i < presses; ++i) {
            // A person keying at about 20 words a minute: dots and dashes, pauses between.
            std::this_thread::sleep_for(std::chrono::milliseconds(40 + 7 * (i % 5)));
            Clock::time_point t = Clock::now();
            sidetone.keyDown();
            callCost.push_back(Ms(Clock::now() - t) * 1000.0);
            downs.push_back(t);
            std::this_thread::sleep_for(std::chrono::milliseconds(i % 3 == 0 ? 180 : 60));
            t = Clock::now();
            sidetone.keyUp();
            ups.push_back(t);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The audio thread has ended with the Sidetone: the record is ours alone now.
    const std::vector<Clock::time_point>& onsets = record->onsets;
    const std::vector<Clock::time_point>& offsets = record->offsets;
    const int bufferFrames = record->bufferFrames;
    const int rate = record->sampleRate;
    std::printf("%s: %d Hz, buffer %d frames (%.1f ms), topped up every %d ms\n", name, rate, bufferFrames,
                rate > 0 ? 1000.0 * bufferFrames / rate : 0.0, Sidetone::PumpIntervalMs);
    if (onsets.size() != downs.size() || offsets.size() != ups.size()) {
        std::printf("  %zu presses heard %zu times and ended %zu times: the stream lost samples\n", downs.size(),
                    onsets.size(), offsets.size());
        return false;
    }
    std::vector<double> start;
    std::vector<double> stop;
    for (size_t i = 0; i < downs.size(); ++i) {
        start.push_back(Ms(onsets[i] - downs[i]));
        stop.push_back(Ms(offsets[i] - ups[i]));
    }
    Summary("press to first sound leaving", start);
    Summary("release to last sound leaving", stop);
    Summary("keyDown() on the main thread (us)", callCost);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int presses = 60;
    std::printf("Sidetone latency over %d presses; the tone rises and falls over 5 ms, so the last sound\n"
                "leaves about 5 ms after the fall began.\n\n",
                presses);
    bool ok = Measure("Simulated sound card, 10 ms buffer", std::make_unique<SimulatedCard>(10), presses);
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        std::printf("\nNo sound device: the real stream was not measured.\n");
    } else {
        std::printf("\n");
        ok = Measure("Default sound device (Qt Multimedia)", SoundCardOutput(), presses) && ok;
    }
    return ok ? 0 : 1;
}

// The key's tone: the samples the generator makes, the two settings, and the audio thread on
// stand-in outputs. No sound card is needed; under the offscreen platform there is none.
#include "sidetone.h"
#include "testsupport.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
using Samples = std::vector<qint16>;
using Keying = std::vector<std::pair<char, int>>;

// Plays a keying: at each step the key goes down ('D'), up ('U') or is left alone (' '), then
// that many frames are made, in buffers of the given sizes in turn.
Samples Play(ToneGenerator& tone, const Keying& steps, const std::vector<int>& sizes = {1 << 30}) {
    Samples out;
    size_t next = 0;
    for (const auto& [key, frames] : steps) {
        if (key != ' ')
            key == 'D' ? tone.keyDown() : tone.keyUp();
        for (int left = frames; left > 0;) {
            const int n = std::min(left, sizes[next++ % sizes.size()]);
            out.resize(out.size() + size_t(n), qint16(1234));
            tone.fill(out.data() + out.size() - n, n);
            left -= n;
        }
    }
    return out;
}

// The loudest sample in [from, to) as a share of the full-strength peak.
double Level(const ToneGenerator& tone, const Samples& s, size_t from = 0, size_t to = SIZE_MAX) {
    int peak = 0;
    for (size_t i = from; i < std::min(to, s.size()); ++i)
        peak = std::max(peak, std::abs(int(s[i])));
    return peak / tone.peak();
}

// No step between two samples is steeper than a full sine and the raised-cosine ramp together
// allow, plus rounding: a click, a jump between buffers or a ramp restarting elsewhere is.
bool Smooth(const ToneGenerator& tone, double hz, const Samples& s) {
    const double limit = tone.peak() * (2 * kPi * hz / tone.sampleRate() + kPi / 2 / tone.rampFrames()) + 2;
    auto jump = [limit](qint16 a, qint16 b) { return std::abs(int(b) - int(a)) > limit; };
    return std::adjacent_find(s.begin(), s.end(), jump) == s.end();
}

// Index of the last sample that is not silence, or -1.
int LastSound(const Samples& s) {
    return int(std::find_if(s.rbegin(), s.rend(), [](qint16 v) { return v != 0; }).base() - s.begin()) - 1;
}

// A stand-in sound card that takes a few frames every time the audio thread asks and tells
// the test, across threads, what it was given. The probe outlives the output.
struct Probe {
    bool opens = true;
    std::atomic<bool> opened{false}, closed{false}, fail{false}, sounding{false}, fedWhileSuspended{false};
    std::atomic<int> writes{0}, soundingWrites{0}, suspends{0}, resumes{0};
    std::atomic<int> silenceBeforeRest{0}; // frames of silence written before the last suspend
};

struct FakeOutput : AudioOutput {
    explicit FakeOutput(Probe& probe) : m_probe(probe) {}
    ~FakeOutput() override { m_probe.closed = true; }
    bool open() override { return (m_probe.opened = true) && m_probe.opens; }
    int sampleRate() const override { return 8000; }
    int bufferFrames() const override { return 80; }
    int framesFree() override {
        m_probe.fedWhileSuspended = m_probe.fedWhileSuspended || m_probe.suspends > m_probe.resumes;
        return m_probe.fail ? -1 : 16;
    }
    void write(const qint16* samples, int frames) override {
        m_probe.sounding = std::any_of(samples, samples + frames, [](qint16 s) { return s != 0; });
        m_silence = m_probe.sounding ? 0 : m_silence + frames;
        m_probe.soundingWrites += m_probe.sounding;
        ++m_probe.writes;
    }
    void suspend() override {
        m_probe.silenceBeforeRest = m_silence;
        ++m_probe.suspends;
    }
    void resume() override { ++m_probe.resumes; }
    Probe& m_probe;
    int m_silence = 0;
};

} // namespace

class TestSidetone : public WindowTest {
    Q_OBJECT
private slots:
    void readsSettings_data();
    void readsSettings();
    void soundsAtTheSetPitch();
    void rampsWithoutClicks();
    void audioThreadFollowsTheKey();
};

void TestSidetone::readsSettings_data() {
    QTest::addColumn<QString>("sidetone");
    QTest::addColumn<QString>("hz");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("expectedHz");
    auto row = [](const char* name, const char* sidetone, const char* hz, bool enabled, int expectedHz) {
        QTest::newRow(name) << QString(sidetone) << QString(hz) << enabled << expectedHz;
    };
    row("both missing", "default", "default", true, 600);
    row("zero with blanks turns it off", " 0 ", "700", false, 700);
    row("any other word keeps it on", "off", "", true, 600);
    row("lowest pitch", "1", "100", true, 100);
    row("highest pitch", "1", "2000", true, 2000);
    row("too low", "1", "99", true, 600);
    row("too high", "1", "2001", true, 600);
}

void TestSidetone::readsSettings() {
    QFETCH(QString, sidetone);
    QFETCH(QString, hz);
    const SidetoneSettings settings = SidetoneSettings::fromText(sidetone, hz);
    QTEST(settings.enabled, "enabled");
    QTEST(settings.hz, "expectedHz");
}

void TestSidetone::soundsAtTheSetPitch() {
    // Two zero crossings a cycle; the count may be one off at each end of the second measured.
    for (const auto& [rate, hz] : {std::pair{48000, 600}, {44100, 100}, {48000, 2000}, {8000, 2000}}) {
        ToneGenerator tone(rate, hz);
        Play(tone, {{'D', tone.rampFrames() + 1}});
        const Samples second = Play(tone, {{' ', rate}});
        int crossings = 0;
        for (size_t i = 1; i < second.size(); ++i)
            crossings += (second[i - 1] < 0) != (second[i] < 0);
        QVERIFY2(std::abs(crossings - 2 * hz) <= 2, qPrintable(QStringLiteral("%1 Hz: %2").arg(hz).arg(crossings)));
        QVERIFY(Level(tone, second) >= 0.95 && Level(tone, second) <= 1 + 1 / tone.peak());
    }
}

void TestSidetone::rampsWithoutClicks() {
    ToneGenerator tone(48000, 600);
    const int ramp = tone.rampFrames(); // 5 ms, 240 frames
    QCOMPARE(LastSound(Play(tone, {{' ', 1000}})), -1);
    // Raised cosine: a tenth of the way in it is still below a tenth of full, half way it is
    // near half, and after the ramp it is full. Measured on whole cycles (80 samples at 600 Hz).
    const Samples rise = Play(tone, {{'D', 4800}});
    QVERIFY(Level(tone, rise, 0, 24) < 0.03 && Level(tone, rise, ramp, ramp + 80) >= 0.99);
    QVERIFY(Level(tone, rise, 80, 160) > 0.3 && Level(tone, rise, 80, 160) < 0.85);
    const Samples fall = Play(tone, {{'U', 4800}});
    QVERIFY(Level(tone, fall, 0, 80) > 0.85 && Level(tone, fall, ramp - 24, ramp) < 0.03);
    QVERIFY2(LastSound(fall) <= ramp && LastSound(fall) >= ramp - 10, qPrintable(QString::number(LastSound(fall))));
    QVERIFY(Smooth(tone, 600, rise) && Smooth(tone, 600, fall));
    // Held for long, with a second press while held: the tone stays at full strength.
    QVERIFY(Level(tone, Play(tone, {{'D', 0}, {'D', 48000}}), 47000) >= 0.99);

    // Released half way up, the tone falls from where it stands: silent after half a ramp, not
    // a whole one. Pressed again half way down, it rises from where it stands. Neither jumps.
    ToneGenerator up(48000, 600), down(48000, 600), tap(48000, 600);
    const Samples released = Play(up, {{'D', ramp / 2}, {'U', 2000}});
    QVERIFY(Smooth(up, 600, released) && Level(up, released) < 0.6 && LastSound(released) <= ramp + 1);
    const Samples again = Play(down, {{'D', ramp + 100}, {'U', ramp / 2}, {'D', 2000}});
    QVERIFY(Smooth(down, 600, again) && Level(down, again, again.size() - 200) >= 0.99);
    // A press that came and went before the next buffer is still heard, once, and briefly.
    const Samples blip = Play(tap, {{'D', 0}, {'U', 4000}});
    QVERIFY(Smooth(tap, 600, blip) && Level(tap, blip) >= 0.9 && LastSound(blip) <= 2 * ramp + 1);
    QCOMPARE(LastSound(Play(tap, {{' ', 4000}})), -1);

    // The same keying in one buffer and in buffers of awkward sizes gives the same samples:
    // nothing restarts at a buffer's edge.
    const Keying keying = {{' ', 1000}, {'D', 4000}, {'U', 100}, {'D', 3900}, {'U', 60}, {'D', 40}, {'U', 10900}};
    ToneGenerator once(44100, 733), split(44100, 733);
    const Samples whole = Play(once, keying);
    QVERIFY(Play(split, keying, {1, 7, 13, 64, 480, 3}) == whole && Smooth(once, 733, whole));
    QVERIFY(LastSound(whole) > 9100 && LastSound(whole) <= 9100 + once.rampFrames());
}

void TestSidetone::audioThreadFollowsTheKey() {
    // The rest time is counted in samples written, the stand-in's clock: 20 ms at 8000 Hz is
    // 160 frames, give or take the 16 of one write.
    Probe probe;
    auto restedOnTime = [&probe] { return std::abs(probe.silenceBeforeRest - 160) <= 16; };
    {
        Sidetone sidetone(SidetoneSettings{true, 1000}, std::make_unique<FakeOutput>(probe), 20);
        QTRY_COMPARE(probe.suspends.load(), 1);
        QVERIFY2(restedOnTime() && !probe.sounding, qPrintable(QString::number(probe.silenceBeforeRest)));
        // A press wakes it and sounds; held for several rest times, it does not rest.
        sidetone.keyDown();
        QTRY_VERIFY(probe.sounding && probe.resumes == 1);
        const int writes = probe.writes;
        QTRY_VERIFY(probe.writes > writes + 40);
        QCOMPARE(probe.suspends.load(), 1);
        sidetone.keyUp();
        QTRY_VERIFY(!probe.sounding && probe.suspends == 2);
        QVERIFY2(restedOnTime(), qPrintable(QString::number(probe.silenceBeforeRest)));
        // A press over before the thread wakes is still heard, and nothing fed the paused stream.
        const int sounded = probe.soundingWrites;
        sidetone.keyDown();
        sidetone.keyUp();
        QTRY_COMPARE(probe.suspends.load(), 3);
        QVERIFY(probe.resumes == 2 && probe.soundingWrites > sounded && !probe.fedWhileSuspended);
        // The stream fails: the thread stops feeding it, and the key goes on working.
        probe.fail = true;
        sidetone.keyDown();
        QTRY_VERIFY(probe.closed);
        const int last = probe.writes;
        sidetone.keyUp();
        sidetone.keyDown();
        QCOMPARE(probe.writes.load(), last);
    }
    // Turned off, no stream is even opened. Without a device, and on whatever sound card the
    // tests run (often none), keying does nothing, all goes away at once and nothing is shown.
    Probe off, none;
    none.opens = false;
    QElapsedTimer clock;
    clock.start();
    {
        Sidetone disabled(SidetoneSettings{false, 600}, std::make_unique<FakeOutput>(off));
        Sidetone noDevice(SidetoneSettings{}, std::make_unique<FakeOutput>(none));
        Sidetone soundCard(SidetoneSettings{});
        for (Sidetone* sidetone : {&disabled, &noDevice, &soundCard}) {
            sidetone->keyDown();
            sidetone->keyUp();
        }
        QTRY_VERIFY(none.closed);
    }
    QVERIFY(clock.elapsed() < 2000 && !off.opened && none.writes == 0);
}

QTEST_MAIN(TestSidetone)
#include "tst_sidetone.moc"

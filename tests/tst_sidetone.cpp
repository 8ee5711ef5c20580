// The key's tone: the samples the generator makes, the two settings, the audio thread on
// stand-in outputs, and the main window keying as before whatever the tone does. No sound card
// is needed; under the offscreen platform there is none.
#include "form1.h"
#include "messagebox.h"
#include "sidetone.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

std::vector<qint16> Fill(ToneGenerator& tone, int frames) {
    std::vector<qint16> samples(size_t(frames), qint16(1234));
    tone.fill(samples.data(), frames);
    return samples;
}

void Append(std::vector<qint16>& to, const std::vector<qint16>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

int ZeroCrossings(const std::vector<qint16>& samples) {
    int crossings = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    }
    return crossings;
}

int PeakIn(const std::vector<qint16>& samples, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = from; i < std::min(to, samples.size()); ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    return peak;
}

// The steepest step a raised-cosine-shaped sine can take between two samples, plus rounding.
// A click, a jump between buffers or a ramp that restarts from the wrong place exceeds it.
double SteepestStep(const ToneGenerator& tone, double hz) {
    const double sine = 2 * kPi * hz / tone.sampleRate();
    const double ramp = kPi / 2 / tone.rampFrames();
    return tone.peak() * (sine + ramp) + 2;
}

int SteepestStepIn(const std::vector<qint16>& samples) {
    int steepest = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        steepest = std::max(steepest, std::abs(int(samples[i]) - int(samples[i - 1])));
    return steepest;
}

// Index of the last sample that is not silence, or -1.
int LastSound(const std::vector<qint16>& samples) {
    for (int i = int(samples.size()) - 1; i >= 0; --i) {
        if (samples[size_t(i)] != 0)
            return i;
    }
    return -1;
}

// A stand-in sound card that takes a few frames every time the audio thread asks and tells
// the test, across threads, what it was given.
struct Probe {
    std::atomic<bool> opened{false};
    std::atomic<bool> closed{false};
    std::atomic<bool> fail{false};
    std::atomic<bool> sounding{false}; // the last buffer written held a sound
    std::atomic<int> writes{0};
};

class FakeOutput : public AudioOutput {
public:
    FakeOutput(std::shared_ptr<Probe> probe, bool opens) : m_probe(std::move(probe)), m_opens(opens) {}
    ~FakeOutput() override { m_probe->closed = true; }
    bool open() override {
        m_probe->opened = true;
        return m_opens;
    }
    int sampleRate() const override { return 8000; }
    int bufferFrames() const override { return 80; }
    int framesFree() override { return m_probe->fail ? -1 : 16; }
    void write(const qint16* samples, int frames) override {
        m_probe->sounding = std::any_of(samples, samples + frames, [](qint16 s) { return s != 0; });
        ++m_probe->writes;
    }

private:
    std::shared_ptr<Probe> m_probe;
    bool m_opens;
};

} // namespace

class TestSidetone : public QObject {
    Q_OBJECT
private slots:
    void init() { MessageBox::setTestMode(true); }
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void readsSettings_data();
    void readsSettings();
    void soundsAtTheSetPitch_data();
    void soundsAtTheSetPitch();
    void rampsWithoutClicks();
    void buffersJoinSeamlessly();
    void turnsRoundMidRamp();
    void audioThreadFollowsTheKey();
    void staysQuietWithoutSound();
    void keyingIsUnchangedByTheTone();
};

void TestSidetone::readsSettings_data() {
    QTest::addColumn<QString>("sidetone");
    QTest::addColumn<QString>("hz");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("expectedHz");
    QTest::newRow("both missing") << "default"
                                  << "default" << true << 600;
    QTest::newRow("zero turns it off") << "0"
                                       << "default" << false << 600;
    QTest::newRow("zero with blanks") << " 0 "
                                      << "700" << false << 700;
    QTest::newRow("one keeps it on") << "1"
                                     << "800" << true << 800;
    QTest::newRow("any other word keeps it on") << "off"
                                                << "" << true << 600;
    QTest::newRow("lowest pitch") << "1"
                                  << "100" << true << 100;
    QTest::newRow("highest pitch") << "1"
                                   << "2000" << true << 2000;
    QTest::newRow("too low") << "1"
                             << "99" << true << 600;
    QTest::newRow("too high") << "1"
                              << "2001" << true << 600;
    QTest::newRow("not whole") << "1"
                               << "650.5" << true << 600;
    QTest::newRow("not a number") << "1"
                                  << "loud" << true << 600;
    QTest::newRow("hex is not read") << "1"
                                     << "0x300" << true << 600;
}

void TestSidetone::readsSettings() {
    QFETCH(QString, sidetone);
    QFETCH(QString, hz);
    const SidetoneSettings settings = SidetoneSettings::fromText(sidetone, hz);
    QTEST(settings.enabled, "enabled");
    QTEST(settings.hz, "expectedHz");
}

void TestSidetone::soundsAtTheSetPitch_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("hz");
    QTest::newRow("600 Hz at 48 kHz") << 48000 << 600;
    QTest::newRow("100 Hz at 44.1 kHz") << 44100 << 100;
    QTest::newRow("2000 Hz at 48 kHz") << 48000 << 2000;
    QTest::newRow("2000 Hz at 8 kHz") << 8000 << 2000;
}

void TestSidetone::soundsAtTheSetPitch() {
    QFETCH(int, rate);
    QFETCH(int, hz);
    ToneGenerator tone(rate, hz);
    tone.keyDown();
    Fill(tone, tone.rampFrames() + 1);
    const std::vector<qint16> second = Fill(tone, rate);
    // Two zero crossings a cycle; the count may be one off at the ends of the second.
    QVERIFY2(std::abs(ZeroCrossings(second) - 2 * hz) <= 2, qPrintable(QString::number(ZeroCrossings(second))));
    QVERIFY(PeakIn(second, 0, second.size()) >= int(tone.peak() * 0.95));
    QVERIFY(PeakIn(second, 0, second.size()) <= int(tone.peak()) + 1);
}

void TestSidetone::rampsWithoutClicks() {
    const int rate = 48000;
    const double hz = 600;
    ToneGenerator tone(rate, hz);
    QCOMPARE(tone.rampFrames(), 240); // 5 ms

    const std::vector<qint16> before = Fill(tone, 1000);
    QCOMPARE(LastSound(before), -1);

    tone.keyDown();
    const std::vector<qint16> rise = Fill(tone, 4800);
    const int ramp = tone.rampFrames();
    // Raised cosine: a tenth of the way in it is still below a tenth of full, half way it is
    // near half, and after the ramp it is full. Measured on whole cycles (80 samples at 600 Hz).
    QVERIFY(PeakIn(rise, 0, 24) < int(tone.peak() * 0.03));
    QVERIFY(PeakIn(rise, 80, 160) > int(tone.peak() * 0.3));
    QVERIFY(PeakIn(rise, 80, 160) < int(tone.peak() * 0.85));
    QVERIFY(PeakIn(rise, size_t(ramp), size_t(ramp) + 80) >= int(tone.peak() * 0.99));
    QVERIFY(SteepestStepIn(rise) <= SteepestStep(tone, hz));

    tone.keyUp();
    const std::vector<qint16> fall = Fill(tone, 4800);
    QVERIFY(PeakIn(fall, 0, 80) > int(tone.peak() * 0.85));
    QVERIFY(LastSound(fall) <= ramp);
    QVERIFY(LastSound(fall) >= ramp - 10);
    QVERIFY(PeakIn(fall, size_t(ramp) - 24, size_t(ramp)) < int(tone.peak() * 0.03));
    QVERIFY(SteepestStepIn(fall) <= SteepestStep(tone, hz));

    // Held for long: the tone stays at full strength and nothing changes its envelope.
    tone.keyDown();
    tone.keyDown(); // a second press while held changes nothing
    std::vector<qint16> held = Fill(tone, 48000);
    QVERIFY(PeakIn(held, 47000, 48000) >= int(tone.peak() * 0.99));
}

void TestSidetone::buffersJoinSeamlessly() {
    // The same keying, once in one long buffer and once in buffers of awkward sizes, gives
    // the same samples: nothing restarts at a buffer's edge.
    const int rate = 44100;
    const double hz = 733;
    struct Event {
        int at;
        bool down;
    };
    const Event events[] = {{1000, true}, {5000, false}, {5100, true}, {9000, false}, {9060, true}, {9100, false}};
    auto keyed = [&](const std::vector<int>& sizes) {
        ToneGenerator tone(rate, hz);
        std::vector<qint16> out;
        size_t next = 0;
        size_t sizeIndex = 0;
        while (out.size() < 20000) {
            while (next < std::size(events) && int(out.size()) == events[next].at) {
                events[next].down ? tone.keyDown() : tone.keyUp();
                ++next;
            }
            int frames = std::min(sizes[sizeIndex++ % sizes.size()], 20000 - int(out.size()));
            if (next < std::size(events))
                frames = std::min(frames, events[next].at - int(out.size()));
            Append(out, Fill(tone, frames));
        }
        return out;
    };
    const std::vector<qint16> whole = keyed({20000});
    const std::vector<qint16> pieces = keyed({1, 7, 13, 64, 480, 3});
    QCOMPARE(pieces.size(), whole.size());
    QVERIFY(pieces == whole);

    ToneGenerator reference(rate, hz);
    QVERIFY(SteepestStepIn(whole) <= SteepestStep(reference, hz));
    QCOMPARE(LastSound(whole) < 9100 + reference.rampFrames() + 1, true);
    QVERIFY(LastSound(whole) > 9100);
}

void TestSidetone::turnsRoundMidRamp() {
    const int rate = 48000;
    const double hz = 600;

    // Released half way up: the tone falls from where it stands, so it is silent after half
    // a ramp, not a whole one, and without a jump.
    ToneGenerator tone(rate, hz);
    const int half = tone.rampFrames() / 2;
    tone.keyDown();
    std::vector<qint16> out = Fill(tone, half);
    tone.keyUp();
    Append(out, Fill(tone, 2000));
    QVERIFY(SteepestStepIn(out) <= SteepestStep(tone, hz));
    QVERIFY(LastSound(out) <= 2 * half + 1);
    QVERIFY(PeakIn(out, 0, out.size()) < int(tone.peak() * 0.6));

    // Pressed again half way down: it rises from where it stands.
    ToneGenerator again(rate, hz);
    again.keyDown();
    std::vector<qint16> out2 = Fill(again, again.rampFrames() + 100);
    again.keyUp();
    Append(out2, Fill(again, half));
    again.keyDown();
    Append(out2, Fill(again, 2000));
    QVERIFY(SteepestStepIn(out2) <= SteepestStep(again, hz));
    QVERIFY(PeakIn(out2, out2.size() - 200, out2.size()) >= int(again.peak() * 0.99));

    // A press that came and went before the next buffer is still heard, once, and briefly.
    ToneGenerator tap(rate, hz);
    tap.keyDown();
    tap.keyUp();
    const std::vector<qint16> blip = Fill(tap, 4000);
    QVERIFY(PeakIn(blip, 0, blip.size()) >= int(tap.peak() * 0.9));
    QVERIFY(LastSound(blip) <= 2 * tap.rampFrames() + 1);
    QVERIFY(SteepestStepIn(blip) <= SteepestStep(tap, hz));
    QCOMPARE(LastSound(Fill(tap, 4000)), -1);
}

void TestSidetone::audioThreadFollowsTheKey() {
    auto probe = std::make_shared<Probe>();
    {
        Sidetone sidetone(SidetoneSettings{true, 1000}, std::make_unique<FakeOutput>(probe, true));
        QTRY_VERIFY(probe->writes > 2);
        QVERIFY(!probe->sounding);
        sidetone.keyDown();
        QTRY_VERIFY(probe->sounding);
        sidetone.keyUp();
        QTRY_VERIFY(!probe->sounding);

        // The stream fails: the thread stops feeding it, and the key goes on working.
        probe->fail = true;
        QTRY_VERIFY(probe->closed);
        const int writes = probe->writes;
        sidetone.keyDown();
        sidetone.keyUp();
        QCOMPARE(probe->writes.load(), writes);
    }

    // Turned off: no stream is even opened.
    auto off = std::make_shared<Probe>();
    {
        Sidetone sidetone(SidetoneSettings{false, 600}, std::make_unique<FakeOutput>(off, true));
        sidetone.keyDown();
        sidetone.keyUp();
    }
    QVERIFY(!off->opened);
}

void TestSidetone::staysQuietWithoutSound() {
    // No device: the keys do nothing, the object goes away at once, and the console stays
    // quiet (whatever the sound system says while the device is looked up is held back).
    auto none = std::make_shared<Probe>();
    QElapsedTimer clock;
    clock.start();
    {
        Sidetone sidetone(SidetoneSettings{}, std::make_unique<FakeOutput>(none, false));
        sidetone.keyDown();
        sidetone.keyUp();
        QTRY_VERIFY(none->closed);
    }
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(none->writes.load(), 0);

    // The real sound card, wherever the tests run: with or without one, creating, keying and
    // destroying it is quick and nothing is shown.
    clock.restart();
    {
        Sidetone sidetone(SidetoneSettings{});
        sidetone.keyDown();
        sidetone.keyUp();
    }
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(MessageBox::takeShown().isEmpty());
}

void TestSidetone::keyingIsUnchangedByTheTone() {
    const QByteArray settings[] = {"[main]\r\nsidetone=0\r\n", "[main]\r\nsidetone=1\r\nsidetone_hz=750\r\n",
                                   "[main]\r\nsidetone_hz=nonsense\r\n"};
    for (const QByteArray& ini : settings) {
        ProgramFolder folder;
        folder.copyBundledDatabase();
        folder.writeFile("settings.ini", ini);
        {
            Form1 form;
            auto* text1 = form.findChild<QPlainTextEdit*>("Text1");
            form.MK_MouseDown(1);
            form.MK_MouseUp(1);
            form.MK_MouseDown(1);
            form.Timer1_Timer();
            form.MK_MouseUp(1);
            form.Timer2_Timer();
            QCOMPARE(text1->toPlainText(), QStringLiteral(".- "));
            QVERIFY(!form.KeyIsDown);
        }
        // The program reads both keys and writes neither.
        QCOMPARE(folder.readFile("settings.ini"), ini);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }
}

QTEST_MAIN(TestSidetone)
#include "tst_sidetone.moc"

// The key's tone: samples, the audio thread on stand-ins, a PulseAudio server of the test's own that stops, restarts.
#include "fakeoutput.h"

#include <QtTest>

#include <cmath>

namespace {

using Samples = std::vector<qint16>;

// Plays a keying: a step puts the key down ('D'), up ('U') or leaves it (' '), then fills odd buffers that ramps cross.
Samples Play(ToneGenerator& tone, const std::vector<std::pair<char, int>>& steps) {
    static const int sizes[] = {1, 7, 13, 64, 480, 3};
    Samples out;
    size_t next = 0;
    for (const auto& [key, frames] : steps) {
        key == 'D' ? tone.keyDown() : key == 'U' ? tone.keyUp() : void();
        for (int left = frames, n; left > 0; left -= n) {
            n = std::min(left, sizes[next++ % 6]);
            out.resize(out.size() + size_t(n), qint16(1234));
            tone.fill(out.data() + out.size() - n, n);
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

// No step between two samples steeper than a full sine and the ramp allow: no click, no jump.
bool Smooth(const ToneGenerator& tone, double hz, const Samples& s) {
    const double limit = tone.peak() * (2 * M_PI * hz / tone.sampleRate() + M_PI / 2 / tone.rampFrames()) + 2;
    auto jump = [limit](qint16 a, qint16 b) { return std::abs(int(b) - int(a)) > limit; };
    return std::adjacent_find(s.begin(), s.end(), jump) == s.end();
}

// The median length of a cycle, from one rising zero crossing to the next: the pitch, whatever gaps.
int Cycle(const Samples& s) {
    std::vector<int> cycles; // the first holds where the first cycle begins: one value the median ignores
    for (size_t i = 1, rise = 0; i < s.size(); ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
            cycles.push_back(int(i - std::exchange(rise, i)));
    std::nth_element(cycles.begin(), cycles.begin() + cycles.size() / 2, cycles.end());
    return cycles.empty() ? 0 : cycles[cycles.size() / 2];
}

// Adds what parec has recorded by now to heard; how many of its samples are loud.
qsizetype Heard(QProcess& parec, Samples& heard) {
    const QByteArray more = parec.readAllStandardOutput();
    heard.insert(heard.end(), (const qint16*)more.data(), (const qint16*)more.data() + more.size() / 2);
    return std::count_if(heard.begin(), heard.end(), [](qint16 v) { return std::abs(v) > 8000; });
}

int LastSound(const Samples& s) { // the index of the last sample that is not silence, or -1
    return int(std::find_if(s.rbegin(), s.rend(), [](qint16 v) { return v != 0; }).base() - s.begin()) - 1;
}

QString Pactl(const QStringList& arguments) {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), arguments);
    return pactl.waitForFinished() && pactl.exitCode() == 0 ? QString::fromUtf8(pactl.readAllStandardOutput()) : "";
}

} // namespace

class TestSidetone : public QObject {
    Q_OBJECT
private slots:
    void soundsAtThePitchWithoutClicks();
    void audioThreadFollowsTheKey();
    void outlivesItsSoundServer();
};

void TestSidetone::soundsAtThePitchWithoutClicks() {
    for (const auto& [rate, hz] : {std::pair{48000, 600}, {44100, 100}, {48000, 2000}, {8000, 2000}}) {
        ToneGenerator tone(rate, hz);
        const Samples second = Play(tone, {{'D', tone.rampFrames() + 1}, {' ', rate}}); // the ramp, then a second
        QCOMPARE(Cycle(second), rate / hz);
        QVERIFY(Level(tone, second) >= 0.95 && Level(tone, second) <= 1 + 1 / tone.peak());
    }
    ToneGenerator tone(48000, 600), up(48000, 600);
    const int ramp = tone.rampFrames(); // 5 ms, 240 frames
    // Full after the ramp (a cycle is 80 samples); on release, loud at first, then silent after the ramp.
    const Samples held = Play(tone, {{'D', 4800}, {'U', 4800}});
    QVERIFY(Smooth(tone, 600, held));
    QVERIFY(Level(tone, held, ramp, ramp + 80) >= 0.99 && Level(tone, held, 4800, 4880) > 0.85);
    QVERIFY(LastSound(held) - 4800 <= ramp && LastSound(held) - 4800 >= ramp - 10);
    // Released half way up, the tone falls from where it stands, without a jump: silent after half a ramp.
    const Samples released = Play(up, {{'D', ramp / 2}, {'U', 2000}});
    QVERIFY(Smooth(up, 600, released) && Level(up, released) < 0.6 && LastSound(released) <= ramp + 1);
    // A tap over before the next buffer is made still sounds: it rises, then falls.
    ToneGenerator tap(48000, 600);
    QVERIFY(Level(tap, Play(tap, {{'D', 0}, {'U', 2000}})) > 0.5);
}

void TestSidetone::audioThreadFollowsTheKey() {
    Probe probe; // the stream rests after 20 ms of silence
    Sidetone sidetone(SidetoneSettings{true, 1000}, std::make_unique<FakeOutput>(probe), 20);
    QTRY_COMPARE(probe.state(), QStringLiteral("1 opened, 1 rests, 0 wakes, 0"));
    sidetone.keyDown(); // a press wakes it and sounds; held for several rest times, it does not rest
    QTRY_COMPARE(probe.state(), QStringLiteral("1 opened, 1 rests, 1 wakes, 1"));
    sidetone.keyUp(), sidetone.keyDown(); // pressed again while awake: there is nothing to wake
    QElapsedTimer held; // the stream is fed every 2 ms, never more often: a feed at every turn would spin the thread
    held.start();
    const int writes = probe.writes;
    QTRY_VERIFY(probe.writes > writes + 40);
    QVERIFY(probe.writes - writes <= held.elapsed() / 2 + 2);
    QCOMPARE(probe.state(), QStringLiteral("1 opened, 1 rests, 1 wakes, 1"));
    sidetone.keyUp();
    QTRY_COMPARE(probe.state(), QStringLiteral("1 opened, 2 rests, 1 wakes, 0"));
    // A press over before the thread wakes is still heard, and nothing fed the paused stream.
    const int sounded = probe.soundingWrites;
    sidetone.keyDown(), sidetone.keyUp();
    QTRY_COMPARE(probe.state(), QStringLiteral("1 opened, 3 rests, 2 wakes, 0"));
    QCOMPARE(std::tuple(probe.soundingWrites > sounded, probe.fedWhileSuspended.load()), std::tuple(true, false));
}

void TestSidetone::outlivesItsSoundServer() {
    if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty())
        QSKIP("no pulseaudio to play to");
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("native"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"})
        env.insert(QLatin1String(name), dir.path());
    QProcess server;
    server.setProcessEnvironment(env), server.setProgram(QStringLiteral("pulseaudio"));
    server.setArguments({"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
                         "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L", "module-null-sink"});
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket));
    // Mixers list the tone as Dahdit's, with its icon, and keep its volume by those names; it queues under 0.1 s.
    const QRegularExpression names(QStringLiteral("media.name = \"Sidetone\"\n.*application.name = \"Dahdit\"\n"
                                                  "(.*\n)*.*application.icon_name = \"dahdit\""));
    {
        // Without a server keying goes on, silently; the first press once it is there sounds, and so does the first
        // after the stream rested, and after the server stopped and came back: heard at its pitch, listed by its names.
        Sidetone sidetone(SidetoneSettings{}, nullptr, 100);
        const auto press = [&sidetone] { sidetone.keyDown(), sidetone.keyUp(); };
        press();
        for (int run = 0; run < 4; ++run) {
            if (run % 2 == 0)
                server.start();
            else // a tenth of a second after the key is let go
                QTRY_VERIFY(Pactl({"list", "sink-inputs"}).contains("Corked: yes"));
            QVERIFY(QTest::qWaitFor([] { return !Pactl({"info"}).isEmpty(); }, 10000));
            QProcess parec; // the tone the server plays while the key is held: 600 Hz over a tenth of a second
            parec.start("parec", {"-d", "null.monitor", "--raw", "--format=s16ne", "--rate=48000", "--channels=1"});
            Samples heard;
            sidetone.keyDown();
            QTRY_VERIFY_WITH_TIMEOUT(Heard(parec, heard) >= 4800, 10000);
            sidetone.keyUp(), parec.kill(), parec.waitForFinished();
            QCOMPARE(Cycle(heard), 80); // the server may leave gaps on a busy machine
            QTRY_VERIFY(Pactl({"list", "sink-inputs"}).contains(names));
            QVERIFY(Pactl({"list", "sink-inputs"}).contains(QRegularExpression("Buffer Latency: \\d{1,5} usec")));
            if (run % 2)
                server.terminate(), server.waitForFinished(), press();
        }
    }
    server.setArguments(server.arguments().first(6)), server.start(); // no device to play to: no stream is open
    QVERIFY(QTest::qWaitFor([] { return !Pactl({"info"}).isEmpty(); }, 10000) && !SoundCardOutput()->open());
    server.terminate(), server.waitForFinished(), qunsetenv("PULSE_SERVER");
}

QTEST_GUILESS_MAIN(TestSidetone)
#include "tst_sidetone.moc"

#include "sidetone.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QDeadlineTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <mutex>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kDefaultRate = 48000;

// ---- keeping the sound system's start-up chatter off the console ---------------------------
//
// Without a sound server, Qt Multimedia says so on the console when the device is looked up.
// Dahdit treats that as "no tone" and says nothing, so the audio thread's messages are held
// back while it opens the device; everything else passes on to whoever handled messages before.

thread_local bool t_quiet = false;
std::atomic<QtMessageHandler> g_previousHandler{nullptr};

void QuietWhileOpening(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (t_quiet && type != QtFatalMsg)
        return;
    if (QtMessageHandler previous = g_previousHandler.load())
        previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

class QuietScope {
public:
    QuietScope() {
        static std::once_flag installed;
        std::call_once(installed, [] { g_previousHandler.store(qInstallMessageHandler(QuietWhileOpening)); });
        t_quiet = true;
    }
    ~QuietScope() { t_quiet = false; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;
};

// ---- the sound card ------------------------------------------------------------------------

// Push mode: the audio thread writes whatever the sink can take every few milliseconds. Pull
// mode would let the sink ask for 20 ms at a time, which alone is more than the tone may lag.
class QtSoundCard : public AudioOutput {
public:
    explicit QtSoundCard(int bufferMs) : m_bufferMs(bufferMs) {}
    ~QtSoundCard() override {
        if (m_sink)
            m_sink->stop();
    }

    bool open() override { return openSink(); }
    int sampleRate() const override { return m_rate; }
    int bufferFrames() const override { return m_bufferFrames; }
    int framesFree() override {
        if (failed())
            return -1;
        return int(m_sink->bytesFree() / qsizetype(sizeof(qint16)));
    }
    void write(const qint16* samples, int frames) override {
        m_io->write(reinterpret_cast<const char*>(samples), qint64(frames) * qint64(sizeof(qint16)));
    }
    void suspend() override { m_sink->suspend(); }
    // Qt 6.4's PulseAudio sink also takes its state from the server's callbacks, and one that
    // comes while the stream is paused (the end of a drain Qt starts itself after an underrun)
    // leaves it believing the stream plays: its resume() then does nothing, and the stream stays
    // paused and takes no more samples. Only a resume that unpauses makes the sink active, so the
    // stream is paused and resumed until one does.
    void resume() override {
        m_unpaused = false;
        for (int attempt = 0; attempt < 3 && !m_unpaused; ++attempt) {
            if (m_sink->state() != QAudio::SuspendedState)
                m_sink->suspend();
            m_sink->resume();
        }
    }

private:
    bool openSink() {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return false;
        QAudioFormat format;
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        const int preferred = device.preferredFormat().sampleRate();
        format.setSampleRate(preferred >= 8000 && preferred <= 192000 ? preferred : kDefaultRate);
        if (!device.isFormatSupported(format))
            return false;
        m_sink = std::make_unique<QAudioSink>(device, format);
        // The server's callbacks only ever make the sink idle, on their own thread; active it
        // becomes on this thread, when a write or a resume goes through.
        QObject::connect(m_sink.get(), &QAudioSink::stateChanged, m_sink.get(), [this](QAudio::State state) {
            if (state == QAudio::ActiveState)
                m_unpaused = true;
        });
        m_sink->setBufferSize(format.bytesForDuration(qint64(m_bufferMs) * 1000));
        m_io = m_sink->start();
        if (!m_io || failed()) {
            m_sink.reset();
            m_io = nullptr;
            return false;
        }
        m_rate = format.sampleRate();
        m_bufferFrames = format.framesForBytes(m_sink->bufferSize());
        return true;
    }

    // An underrun is not a failure: the next write starts the stream again.
    bool failed() const {
        const QAudio::Error error = m_sink->error();
        return error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError;
    }

    const int m_bufferMs;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr; // owned by m_sink
    std::atomic<bool> m_unpaused{false};
    int m_rate = kDefaultRate;
    int m_bufferFrames = 0;
};

} // namespace

// ---- the names a mixer shows -----------------------------------------------------------------
//
// Qt 6.4 connects to a PulseAudio sound server as "QtPulseAudio:" and the process id, names the
// tone's stream "QtmPulseStream-" with the process id and an address, and offers no way to name
// either: a mixer would list a stranger with a stream of no meaning at every start, and forget
// the tone's volume between runs. These two definitions of the libpulse calls Qt makes are found
// before libpulse's own, as the program's symbols come first for every library in the process
// (the link exports them for that): they give Qt's connection and stream Dahdit's names and then
// call libpulse. The environment is left alone, so no thread ever sees it change under it and
// every program Dahdit starts gets it as Dahdit did. A user's PULSE_PROP_OVERRIDE still wins.
namespace {
template <typename Function> Function Libpulse(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" {
struct pa_context;
struct pa_mainloop_api;
struct pa_stream;
struct pa_sample_spec;
struct pa_channel_map;
struct pa_proplist;

pa_context* pa_context_new(pa_mainloop_api* api, const char* name) {
    using NewWithProperties = pa_context* (*)(pa_mainloop_api*, const char*, const pa_proplist*);
    static const auto newWithProperties = Libpulse<NewWithProperties>("pa_context_new_with_proplist");
    static const auto newProperties = Libpulse<pa_proplist* (*)()>("pa_proplist_new");
    static const auto setProperty = Libpulse<int (*)(pa_proplist*, const char*, const char*)>("pa_proplist_sets");
    static const auto freeProperties = Libpulse<void (*)(pa_proplist*)>("pa_proplist_free");
    if (!newWithProperties || !newProperties || !setProperty || !freeProperties)
        return nullptr; // no libpulse after all: no tone
    if (!name || std::strncmp(name, "QtPulseAudio:", 13) != 0)
        return newWithProperties(api, name, nullptr);
    pa_proplist* properties = newProperties();
    setProperty(properties, "application.icon_name", "dahdit");
    pa_context* context = newWithProperties(api, "Dahdit", properties);
    freeProperties(properties);
    return context;
}

pa_stream* pa_stream_new_with_proplist(pa_context* context, const char* name, const pa_sample_spec* format,
                                       const pa_channel_map* map, pa_proplist* properties) {
    using NewStream =
        pa_stream* (*)(pa_context*, const char*, const pa_sample_spec*, const pa_channel_map*, pa_proplist*);
    static const auto newStream = Libpulse<NewStream>("pa_stream_new_with_proplist");
    if (!newStream)
        return nullptr;
    // Dahdit's one stream is the key's tone.
    const bool qts = name && std::strncmp(name, "QtmPulseStream-", 15) == 0;
    return newStream(context, qts ? "Sidetone" : name, format, map, properties);
}
} // extern "C"

// ---- the generator ---------------------------------------------------------------------------

ToneGenerator::ToneGenerator(int sampleRate, double frequency, double rampSeconds, double amplitude)
    : m_frequency(frequency), m_rampSeconds(rampSeconds), m_peak(amplitude * 32767.0) {
    setSampleRate(sampleRate);
}

void ToneGenerator::setSampleRate(int sampleRate) {
    m_sampleRate = std::max(1, sampleRate);
    m_phaseStep = kTwoPi * m_frequency / m_sampleRate;
    m_rampFrames = std::max(1, int(std::lround(m_rampSeconds * m_sampleRate)));
    m_gain.resize(size_t(m_rampFrames) + 1);
    for (int k = 0; k <= m_rampFrames; ++k)
        m_gain[size_t(k)] = 0.5 - 0.5 * std::cos(kTwoPi / 2 * k / m_rampFrames);
    m_rampStep = std::min(m_rampStep, m_rampFrames);
}

// Sequentially consistent, as is the audio thread's look at them before it rests: see
// Sidetone::AudioThread::rest().
void ToneGenerator::keyDown() {
    m_presses.fetch_add(1);
    m_keyDown.store(true);
}

void ToneGenerator::keyUp() {
    m_keyDown.store(false);
}

bool ToneGenerator::silent() const {
    return !m_keyDown.load() && m_presses.load() == m_pressesSeen && !m_tapPending && m_rampStep == 0;
}

void ToneGenerator::fill(qint16* samples, int frames) {
    const bool down = m_keyDown.load(std::memory_order_acquire);
    const unsigned presses = m_presses.load(std::memory_order_acquire);
    if (presses != m_pressesSeen) {
        m_pressesSeen = presses;
        // A press already over when its first buffer is made would not sound at all.
        m_tapPending = !down;
    }
    for (int i = 0; i < frames; ++i) {
        const bool sounding = down || m_tapPending;
        if (!sounding && m_rampStep == 0) {
            // Silence to the end of the buffer; the phase runs on so that it stays continuous.
            std::fill(samples + i, samples + frames, qint16(0));
            m_phase = std::fmod(m_phase + (frames - i) * m_phaseStep, kTwoPi);
            return;
        }
        samples[i] = qint16(std::lround(m_peak * m_gain[size_t(m_rampStep)] * std::sin(m_phase)));
        m_phase += m_phaseStep;
        if (m_phase >= kTwoPi)
            m_phase -= kTwoPi;
        if (sounding) {
            if (m_rampStep < m_rampFrames)
                ++m_rampStep;
            else
                m_tapPending = false; // fully open once: a tap has been heard
        } else {
            --m_rampStep;
        }
    }
}

// ---- the audio thread ------------------------------------------------------------------------

std::unique_ptr<AudioOutput> SoundCardOutput(int bufferMs) {
    return std::make_unique<QtSoundCard>(bufferMs);
}

// Everything that touches the output, Qt Multimedia included, runs on this thread: the stream is
// opened, fed, paused, resumed and closed here, and the key's thread only flips the generator's
// flags and, when the stream rests, queues a wake-up.
class Sidetone::AudioThread : public QThread {
public:
    AudioThread(int hz, std::unique_ptr<AudioOutput> output, int restAfterMs)
        : generator(kDefaultRate, hz), m_output(std::move(output)), m_restAfterMs(restAfterMs) {
        m_waker.moveToThread(this);
    }

    ToneGenerator generator;

    // On the key's thread, after the press is counted.
    void wakeForPress() {
        if (m_resting.load())
            QMetaObject::invokeMethod(
                &m_waker, [this] { resume(); }, Qt::QueuedConnection);
    }

protected:
    void run() override {
        bool opened = false;
        {
            QuietScope quiet;
            opened = m_output->open();
        }
        if (opened && !isInterruptionRequested()) {
            generator.setSampleRate(m_output->sampleRate());
            m_restFrames = qint64(m_restAfterMs) * m_output->sampleRate() / 1000;
            m_buffer.resize(size_t(std::max(256, m_output->bufferFrames())));
            QTimer timer;
            timer.setTimerType(Qt::PreciseTimer);
            timer.setInterval(PumpIntervalMs);
            m_pumpTimer = &timer;
            // The interruption check also catches a quit() that came before the loop ran.
            QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
                if (isInterruptionRequested() || !pump())
                    exit();
                else if (m_silentFrames >= m_restFrames)
                    rest();
            });
            if (pump()) {
                timer.start();
                exec();
            }
            m_pumpTimer = nullptr;
        }
        m_output.reset(); // the stream closes on the thread that opened it
    }

private:
    // Tops the output buffer up; false once the stream has failed.
    bool pump() {
        int free = m_output->framesFree();
        if (free < 0)
            return false;
        while (free > 0) {
            const int frames = std::min(free, int(m_buffer.size()));
            generator.fill(m_buffer.data(), frames);
            m_output->write(m_buffer.data(), frames);
            m_silentFrames = generator.silent() ? m_silentFrames + frames : 0;
            free -= frames;
        }
        return true;
    }

    // The tone has been silent for the rest time: the pump stops and the stream pauses. A press
    // counted before wakeForPress() looks at m_resting, and m_resting is set before the look at
    // the generator here, so either this sees the press and keeps pumping, or the press sees
    // the rest and queues resume(); never neither.
    void rest() {
        m_resting.store(true);
        if (!generator.silent()) {
            m_resting.store(false);
            return;
        }
        m_pumpTimer->stop();
        m_output->suspend();
    }

    // Queued by a press while the stream rests; a press that finds the stream awake after all
    // queues it too, and then it does nothing.
    void resume() {
        if (!m_resting.load() || !m_pumpTimer)
            return;
        m_output->resume();
        m_silentFrames = 0;
        m_resting.store(false);
        if (!pump()) {
            exit();
            return;
        }
        m_pumpTimer->start();
    }

    std::unique_ptr<AudioOutput> m_output;
    const int m_restAfterMs;
    QObject m_waker; // lives on this thread: what is queued to it runs here
    QTimer* m_pumpTimer = nullptr;
    std::vector<qint16> m_buffer;
    qint64 m_restFrames = 0;
    qint64 m_silentFrames = 0;
    std::atomic<bool> m_resting{false};
};

Sidetone::Sidetone(const SidetoneSettings& settings, std::unique_ptr<AudioOutput> output, int restAfterMs) {
    if (!settings.enabled)
        return;
    if (!output)
        output = SoundCardOutput();
    m_thread = new AudioThread(settings.hz, std::move(output), restAfterMs);
    m_thread->setObjectName(QStringLiteral("Sidetone"));
    m_thread->start(QThread::HighestPriority);
}

Sidetone::~Sidetone() {
    if (!m_thread)
        return;
    m_thread->requestInterruption();
    m_thread->quit();
    // A sound server that hangs must not hang Dahdit's exit: the thread is then left behind,
    // with all it uses, rather than destroyed while it runs.
    if (m_thread->wait(QDeadlineTimer(2000)))
        delete m_thread;
}

void Sidetone::keyDown() {
    if (m_thread) {
        m_thread->generator.keyDown();
        m_thread->wakeForPress();
    }
}

void Sidetone::keyUp() {
    if (m_thread)
        m_thread->generator.keyUp();
}

void EndWithoutAudioTeardown(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

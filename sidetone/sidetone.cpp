#include "sidetone.h"

#include <pulse/pulseaudio.h>

#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kDefaultRate = 48000;
std::function<std::unique_ptr<AudioOutput>()> g_outputForTesting;

// ---- the sound card --------------------------------------------------------------------------
//
// The sound server through libpulse: a connection of Dahdit's own, named so that a mixer lists
// it as "Dahdit" with the program's icon and keeps the volume given to its one stream,
// "Sidetone", from one start to the next. libpulse runs the connection on a thread of its own;
// the audio thread locks it for each call. Push mode: the audio thread writes whatever the
// stream can take every few milliseconds.

// How long the server may take to accept the connection and the stream before there is no tone.
constexpr int kConnectMs = 2000;
// How often a wait for the server looks whether the audio thread is asked to stop.
constexpr pa_usec_t kWaitSliceUs = 10000;

// Holds the loop locked for as long as it lives.
std::unique_ptr<pa_threaded_mainloop, void (*)(pa_threaded_mainloop*)> Locked(pa_threaded_mainloop* loop) {
    pa_threaded_mainloop_lock(loop);
    return {loop, pa_threaded_mainloop_unlock};
}

// Where a connection or a stream stands on its way to being ready.
enum class Step { Waiting, Ready, Failed };

Step StepOf(pa_context_state_t state) {
    return state == PA_CONTEXT_READY ? Step::Ready : PA_CONTEXT_IS_GOOD(state) ? Step::Waiting : Step::Failed;
}

Step StepOf(pa_stream_state_t state) {
    return state == PA_STREAM_READY ? Step::Ready : PA_STREAM_IS_GOOD(state) ? Step::Waiting : Step::Failed;
}

void Done(pa_operation* operation) {
    if (operation)
        pa_operation_unref(operation);
}

class PulseOutput : public AudioOutput {
public:
    explicit PulseOutput(int bufferMs) : m_bufferMs(bufferMs) {}
    ~PulseOutput() override { close(); }

    // A new connection each time: one that failed is of no more use.
    bool open() override {
        close();
        m_loop = pa_threaded_mainloop_new();
        bool connected = false;
        if (m_loop && pa_threaded_mainloop_start(m_loop) == 0) {
            const auto lock = Locked(m_loop);
            connected = connect();
        }
        if (!connected)
            close();
        return connected;
    }
    int sampleRate() const override { return m_rate; }
    int bufferFrames() const override { return m_bufferFrames; }
    int framesFree() override {
        if (!m_stream)
            return -1;
        const auto lock = Locked(m_loop);
        if (pa_stream_get_state(m_stream) != PA_STREAM_READY)
            return -1;
        const size_t bytes = pa_stream_writable_size(m_stream);
        return bytes == size_t(-1) ? -1 : int(std::min(bytes / sizeof(qint16), size_t(INT_MAX)));
    }
    void write(const qint16* samples, int frames) override {
        const auto lock = Locked(m_loop);
        pa_stream_write(m_stream, samples, size_t(frames) * sizeof(qint16), nullptr, 0, PA_SEEK_RELATIVE);
    }
    // What the stream holds by now is silence: it goes, so that the next tone is the first thing
    // the server plays when the stream runs again.
    void suspend() override {
        const auto lock = Locked(m_loop);
        Done(pa_stream_cork(m_stream, 1, nullptr, nullptr));
        Done(pa_stream_flush(m_stream, nullptr, nullptr));
    }
    void resume() override {
        const auto lock = Locked(m_loop);
        Done(pa_stream_cork(m_stream, 0, nullptr, nullptr));
    }

private:
    static void Signal(void* loop) { pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0); }

    // With the loop locked: the connection, then the stream, each ready; false when the server
    // refused either, did not answer in time, or the audio thread is asked to stop meanwhile.
    bool connect() {
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Dahdit");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "dahdit");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Dahdit", properties);
        pa_proplist_free(properties);
        if (!m_context)
            return false;
        pa_context_set_state_callback(
            m_context, [](pa_context*, void* loop) { Signal(loop); }, m_loop);
        // Dahdit never starts a sound server of its own: without one there is no tone.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        const QDeadlineTimer deadline(kConnectMs);
        if (!waitUntil(deadline, [this] { return StepOf(pa_context_get_state(m_context)); }))
            return false;

        // The stream takes the device's own rate, whatever is asked here, so that the server need
        // not convert the tone.
        const pa_sample_spec format{PA_SAMPLE_S16NE, kDefaultRate, 1};
        m_stream = pa_stream_new(m_context, "Sidetone", &format, nullptr);
        if (!m_stream)
            return false;
        pa_stream_set_state_callback(
            m_stream, [](pa_stream*, void* loop) { Signal(loop); }, m_loop);
        // The stream's buffer as asked (in bytes, so a little longer at a lower rate); the server
        // sizes the device's to suit.
        pa_buffer_attr buffer;
        buffer.maxlength = buffer.prebuf = buffer.minreq = buffer.fragsize = uint32_t(-1);
        buffer.tlength = uint32_t(pa_usec_to_bytes(pa_usec_t(m_bufferMs) * 1000, &format));
        if (pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_FIX_RATE, nullptr, nullptr) < 0 ||
            !waitUntil(deadline, [this] { return StepOf(pa_stream_get_state(m_stream)); }))
            return false;
        m_rate = int(pa_stream_get_sample_spec(m_stream)->rate);
        m_bufferFrames = int(pa_stream_get_buffer_attr(m_stream)->tlength / sizeof(qint16));
        return true;
    }

    // Waits with the loop locked until progress() is Ready (true) or Failed, the deadline passes
    // or the audio thread is asked to stop (false). A timer on the loop wakes the wait now and
    // then to look.
    template <typename Progress> bool waitUntil(const QDeadlineTimer& deadline, Progress progress) {
        pa_time_event* slice = pa_context_rttime_new(
            m_context, pa_rtclock_now() + kWaitSliceUs,
            [](pa_mainloop_api*, pa_time_event* event, const timeval*, void* output) {
                auto* self = static_cast<PulseOutput*>(output);
                pa_context_rttime_restart(self->m_context, event, pa_rtclock_now() + kWaitSliceUs);
                Signal(self->m_loop);
            },
            this);
        Step step;
        while ((step = progress()) == Step::Waiting && !deadline.hasExpired() &&
               !QThread::currentThread()->isInterruptionRequested())
            pa_threaded_mainloop_wait(m_loop);
        if (slice)
            pa_threaded_mainloop_get_api(m_loop)->time_free(slice);
        return step == Step::Ready;
    }

    void close() {
        if (!m_loop)
            return;
        {
            const auto lock = Locked(m_loop);
            if (m_stream) {
                pa_stream_set_state_callback(m_stream, nullptr, nullptr);
                pa_stream_disconnect(m_stream);
                pa_stream_unref(m_stream);
                m_stream = nullptr;
            }
            if (m_context) {
                pa_context_set_state_callback(m_context, nullptr, nullptr);
                pa_context_disconnect(m_context);
                pa_context_unref(m_context);
                m_context = nullptr;
            }
        }
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }

    const int m_bufferMs;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr; // both used with m_loop locked
    pa_stream* m_stream = nullptr;
    int m_rate = kDefaultRate;
    int m_bufferFrames = 0;
};

} // namespace

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
            // Silence to the end of the buffer: the next tone rises from nothing, at whatever phase.
            std::fill(samples + i, samples + frames, qint16(0));
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
    return std::make_unique<PulseOutput>(bufferMs);
}

// Everything that touches the output runs on this thread: the stream is opened, fed, paused,
// resumed and closed here, and the key's thread only flips the generator's flags and, when the
// stream rests or has failed, queues a wake-up.
class Sidetone::AudioThread : public QThread {
public:
    AudioThread(int hz, std::unique_ptr<AudioOutput> output, int restAfterMs)
        : generator(kDefaultRate, hz), m_output(std::move(output)), m_restAfterMs(restAfterMs) {
        m_waker.moveToThread(this);
    }

    ToneGenerator generator;

    // On the key's thread: counts the press, then wakes the stream if it rests or has failed.
    void press() {
        generator.keyDown();
        if (m_resting.load())
            QMetaObject::invokeMethod(
                &m_waker, [this] { resume(); }, Qt::QueuedConnection);
    }

protected:
    void run() override {
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(PumpIntervalMs);
        m_pumpTimer = &timer;
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            if (isInterruptionRequested())
                exit();
            else if (!pump())
                stopFailed();
            else if (m_silentFrames >= m_restFrames)
                rest();
        });
        if (play())
            timer.start();
        else
            m_resting.store(true);
        // The interruption check catches a quit() that came while the stream opened.
        if (!isInterruptionRequested())
            exec();
        m_pumpTimer = nullptr; // the timer goes with this frame
        m_output.reset();      // the stream closes on the thread that opened it
    }

private:
    // Opens a new stream and fills it; false when there is no sound to be had.
    bool play() {
        m_open = m_output->open();
        if (!m_open || isInterruptionRequested())
            return false;
        generator.setSampleRate(m_output->sampleRate());
        m_restFrames = qint64(m_restAfterMs) * m_output->sampleRate() / 1000;
        m_buffer.resize(size_t(std::max(256, m_output->bufferFrames())));
        m_silentFrames = 0;
        return pump();
    }

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
    // counted before press() looks at m_resting, and m_resting is set before the look at
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

    // The stream failed, as it does when the sound server stops: the pump stops, and the next
    // press opens a new stream.
    void stopFailed() {
        m_pumpTimer->stop();
        m_open = false;
        m_resting.store(true);
    }

    // Queued by a press while the stream rests or has failed; a press that finds the stream
    // awake after all queues it too, and then it does nothing. A stream that failed while it
    // rested is replaced at once, for this press; without a sound server the press stays
    // silent, and the next one tries again.
    void resume() {
        if (!m_resting.load() || !m_pumpTimer)
            return;
        bool playing = false;
        if (m_open) {
            m_output->resume();
            m_silentFrames = 0;
            playing = pump();
        }
        if (!playing && !play())
            return;
        m_resting.store(false);
        m_pumpTimer->start();
    }

    std::unique_ptr<AudioOutput> m_output;
    const int m_restAfterMs;
    QObject m_waker; // lives on this thread: what is queued to it runs here
    QTimer* m_pumpTimer = nullptr;
    std::vector<qint16> m_buffer;
    qint64 m_restFrames = 0;
    qint64 m_silentFrames = 0;
    bool m_open = false; // the stream opened, and may since have failed
    std::atomic<bool> m_resting{false};
};

void Sidetone::setOutputForTesting(std::function<std::unique_ptr<AudioOutput>()> make) {
    g_outputForTesting = std::move(make);
}

Sidetone::Sidetone(const SidetoneSettings& settings, std::unique_ptr<AudioOutput> output, int restAfterMs) {
    if (!settings.enabled)
        return;
    if (!output)
        output = g_outputForTesting ? g_outputForTesting() : SoundCardOutput();
    m_thread = new AudioThread(settings.hz, std::move(output), restAfterMs);
    m_thread->setObjectName(QStringLiteral("Sidetone"));
    m_thread->start(QThread::HighestPriority);
}

Sidetone::~Sidetone() {
    if (!m_thread)
        return;
    m_thread->requestInterruption();
    m_thread->quit();
    // A stream still being opened gives up within a few milliseconds of the request. Should the
    // thread not stop all the same, it is left behind, with all it uses, rather than destroyed
    // while it runs.
    if (m_thread->wait(QDeadlineTimer(2000)))
        delete m_thread;
}

void Sidetone::keyDown() {
    if (m_thread)
        m_thread->press();
}

void Sidetone::keyUp() {
    if (m_thread)
        m_thread->generator.keyUp();
}

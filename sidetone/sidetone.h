#pragma once

// The key's tone: a sine that sounds while the left button holds the key, as on a real key.
//
// ToneGenerator makes the samples; Sidetone runs it on an audio thread of its own that keeps a
// short output buffer topped up, so the main window only flips a flag on press and release and
// never waits for the sound card. After a few seconds of silence the thread pauses the stream and
// sleeps, so that a resting key costs no processor time and the sound server may let the device
// sleep; the next press wakes it. Without a sound server, or while it is gone, the tone is silent
// and keying goes on exactly as before; the first press after the server is back sounds again.

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

// Fills buffers with a phase-continuous sine shaped by a raised-cosine envelope: it rises over
// the ramp length after a key down, holds while the key is held, falls over the ramp length
// after a key up, and is exact silence otherwise. A key change in the middle of a ramp turns
// the envelope round where it stands, so no sample ever jumps.
//
// keyDown() and keyUp() may be called from any thread; fill() belongs to one thread at a time.
class ToneGenerator {
public:
    ToneGenerator(int sampleRate, double frequency, double rampSeconds = 0.005, double amplitude = 0.3);

    // On the thread that fills, between fills: each stream the output opens decides its rate.
    void setSampleRate(int sampleRate);

    void keyDown();
    void keyUp();
    void fill(qint16* samples, int frames);
    // True while the generator makes silence and no press waits to be heard; asked on the
    // thread that fills.
    bool silent() const;

    int sampleRate() const { return m_sampleRate; }
    int rampFrames() const { return m_rampFrames; }
    // The peak sample value while the envelope is fully open.
    double peak() const { return m_peak; }

private:
    const double m_frequency;
    const double m_rampSeconds;
    const double m_peak;
    int m_sampleRate = 0;
    int m_rampFrames = 0;
    double m_phaseStep = 0.0;
    std::vector<double> m_gain; // the envelope at each ramp step, 0 to 1

    std::atomic<bool> m_keyDown{false};
    std::atomic<unsigned> m_presses{0};
    unsigned m_pressesSeen = 0;
    bool m_tapPending = false; // a press that came and went between two buffers still sounds
    int m_rampStep = 0;        // 0 is silence, m_rampFrames is fully open
    double m_phase = 0.0;
};

// The two optional settings, "sidetone" and "sidetone_hz" (settingskeys.h says what they take).
struct SidetoneSettings {
    bool enabled = true;
    int hz = 600;
};

// One audio stream, used only on the audio thread: the sound card, or a stand-in in tests and
// benchmarks.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Opens the stream for mono 16-bit samples; false when there is no sound to be had. The
    // sample rate is the output's choice. Called again once the stream has failed, it closes that
    // one and opens a new stream.
    virtual bool open() = 0;
    virtual int sampleRate() const = 0;
    // The length of the output buffer in frames; a sample written now sounds at most this late.
    virtual int bufferFrames() const = 0;
    // How many frames can be written now without waiting; negative when the stream has failed.
    virtual int framesFree() = 0;
    virtual void write(const qint16* samples, int frames) = 0;
    // Pauses the stream while the key rests, so that the sound server need not ask for samples
    // and may let the device sleep; resume() plays on from where it stopped.
    virtual void suspend() {}
    virtual void resume() {}
};

// The sound server's default device through libpulse (PulseAudio, or PipeWire's PulseAudio
// server), with a buffer of about bufferMs.
std::unique_ptr<AudioOutput> SoundCardOutput(int bufferMs = 7);

class Sidetone {
public:
    // How long the tone is silent before the stream rests.
    static constexpr int RestAfterMs = 3000;

    // A disabled sidetone does nothing at all. Without an output given, the sound card is used.
    explicit Sidetone(const SidetoneSettings& settings, std::unique_ptr<AudioOutput> output = nullptr,
                      int restAfterMs = RestAfterMs);
    ~Sidetone();
    Sidetone(const Sidetone&) = delete;
    Sidetone& operator=(const Sidetone&) = delete;

    // Called by the key's press and release handlers; they never block.
    void keyDown();
    void keyUp();

    // How often the audio thread tops up the output buffer.
    static constexpr int PumpIntervalMs = 2;
    // Tests give every sidetone made after this, without an output of its own, a stand-in for the sound card.
    static void setOutputForTesting(std::function<std::unique_ptr<AudioOutput>()> make);

private:
    class AudioThread;
    AudioThread* m_thread = nullptr; // owned; left running on purpose if it will not stop
};

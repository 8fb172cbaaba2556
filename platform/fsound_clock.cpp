// The stream clock: which frame of the track is at the speaker now.
//
// With a sound device the audio callback owns the play cursor. Each callback
// publishes an anchor: the frame heard at that moment (the cursor less the
// device's buffering) and the steady-clock time. The main thread extrapolates
// from the latest anchor with the steady clock and slews gently towards it, so
// that frames at any rate see the time rise evenly; it never reports a frame
// lower than the last one, except after a seek.
//
// A seek, a start or a pause is a request: one atomic word holding the
// target frame, the paused flag and a generation number. The callback takes
// it up at its next call; until an anchor answers it, the main thread reports
// the target, and it goes on reporting the target until that frame is heard.
// The anchor travels under a sequence counter, so the callback never waits.
//
// Without a device the clock is the steady clock itself (silent), and under
// the manual clock it is whatever the caller last set.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/fsound_internal.h"

namespace {

constexpr int frameBits = 40; // 2^40 frames: about 290 days
constexpr uint64_t frameMask = (uint64_t{1} << frameBits) - 1;
constexpr uint64_t pausedBit = uint64_t{1} << frameBits;
constexpr int generationShift = frameBits + 1;

// Beyond this the smooth clock jumps to the device's rather than slewing.
constexpr double snapFrames = 0.05 * soundRate;
// Time over which the smooth clock takes up a difference from the device's.
constexpr double slewSeconds = 0.25;

struct Anchor {
    int64_t frame; // heard at timeNs
    int64_t timeNs;
    int64_t limitFrame; // the last frame the device has been given
    uint32_t generation;
    bool advancing;
};

} // namespace

// Written by the main thread or the callback as marked; all atomics.
static struct {
    std::atomic<uint64_t> request{0};                // main
    std::atomic<const DecodedTrack*> track{nullptr}; // main
    std::atomic<bool> muted{false};                  // main
    std::atomic<int64_t> latencyFrames{0};           // main, before the device starts
    std::atomic<uint32_t> sequence{0};               // callback
    std::atomic<int64_t> anchorFrame{0};             // callback
    std::atomic<int64_t> anchorTimeNs{0};            // callback
    std::atomic<int64_t> anchorLimitFrame{0};        // callback
    std::atomic<uint32_t> anchorGeneration{0};       // callback
    std::atomic<bool> anchorAdvancing{false};        // callback
} shared;

// The callback's own.
static struct {
    uint32_t generation = 0;
    int64_t cursor = 0;
} feeder;

// The main thread's own.
static struct {
    bool device = false;
    bool started = false; // a track is on the channel
    bool paused = true;
    bool manual = false;
    uint32_t generation = 0;
    double position = 0; // the frame last reported
    int64_t lastReadNs = 0;
    bool holding = false; // reporting position until the device has played up to it
    int64_t manualFrame = 0;
    int64_t silentBaseFrame = 0;
    int64_t silentBaseNs = 0;
    Anchor lastAnchor{};
} streamClock;

int64_t steadyNowNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t frameFromMs(int64_t ms) {
    if (ms <= 0)
        return 0;
    return (ms * soundRate + 999) / 1000;
}

int32_t msFromFrame(int64_t frame) {
    if (frame <= 0)
        return 0;
    int64_t ms = frame * 1000 / soundRate;
    return ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

static double framesIn(int64_t nanoseconds) {
    return static_cast<double>(nanoseconds) * soundRate * 1e-9;
}

static int64_t clampFrame(int64_t frame) {
    return frame < 0 ? 0 : frame > static_cast<int64_t>(frameMask) ? frameMask : frame;
}

// --- the callback's side --------------------------------------------------

static void publishAnchor(const Anchor& anchor) {
    uint32_t sequence = shared.sequence.load(std::memory_order_relaxed);
    shared.sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    shared.anchorFrame.store(anchor.frame, std::memory_order_relaxed);
    shared.anchorTimeNs.store(anchor.timeNs, std::memory_order_relaxed);
    shared.anchorLimitFrame.store(anchor.limitFrame, std::memory_order_relaxed);
    shared.anchorGeneration.store(anchor.generation, std::memory_order_relaxed);
    shared.anchorAdvancing.store(anchor.advancing, std::memory_order_relaxed);
    shared.sequence.store(sequence + 2, std::memory_order_release);
}

static void copyTrackFrames(const DecodedTrack& track, int64_t first, int16_t* out,
                            int32_t frames) {
    int64_t available = track.frames - first;
    int64_t copied = available <= 0 ? 0 : available < frames ? available : frames;
    if (copied > 0)
        std::memcpy(out, track.samples.data() + first * 2, static_cast<size_t>(copied) * 4);
    std::memset(out + copied * 2, 0, static_cast<size_t>(frames - copied) * 4);
}

void clockFillAudio(int16_t* out, int32_t frames, int64_t nowNs) {
    uint64_t request = shared.request.load(std::memory_order_acquire);
    uint32_t generation = static_cast<uint32_t>(request >> generationShift);
    if (generation != feeder.generation) {
        feeder.generation = generation;
        feeder.cursor = static_cast<int64_t>(request & frameMask);
    }
    const DecodedTrack* track = shared.track.load(std::memory_order_acquire);
    bool paused = (request & pausedBit) != 0;
    if (paused || track == nullptr) {
        std::memset(out, 0, static_cast<size_t>(frames) * 4);
        publishAnchor({feeder.cursor, nowNs, feeder.cursor, generation, false});
        return;
    }
    if (shared.muted.load(std::memory_order_relaxed))
        std::memset(out, 0, static_cast<size_t>(frames) * 4);
    else
        copyTrackFrames(*track, feeder.cursor, out, frames);
    int64_t latency = shared.latencyFrames.load(std::memory_order_relaxed);
    publishAnchor({feeder.cursor - latency, nowNs, feeder.cursor + frames, generation, true});
    feeder.cursor += frames;
}

// --- the main thread's side -----------------------------------------------

// The latest anchor; the previous one should the callback be caught midway
// for long.
static Anchor readAnchor() {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        uint32_t before = shared.sequence.load(std::memory_order_acquire);
        if ((before & 1) != 0)
            continue;
        Anchor anchor{shared.anchorFrame.load(std::memory_order_relaxed),
                      shared.anchorTimeNs.load(std::memory_order_relaxed),
                      shared.anchorLimitFrame.load(std::memory_order_relaxed),
                      shared.anchorGeneration.load(std::memory_order_relaxed),
                      shared.anchorAdvancing.load(std::memory_order_relaxed)};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (shared.sequence.load(std::memory_order_relaxed) == before) {
            streamClock.lastAnchor = anchor;
            break;
        }
    }
    return streamClock.lastAnchor;
}

static void sendRequest(int64_t frame, bool paused) {
    streamClock.generation = (streamClock.generation + 1) & ((1u << (64 - generationShift)) - 1);
    uint64_t request = (uint64_t{streamClock.generation} << generationShift) |
                       (paused ? pausedBit : 0) | static_cast<uint64_t>(clampFrame(frame));
    shared.request.store(request, std::memory_order_release);
}

// Every start, seek and pause puts the clock at frame and holds it there
// until the device has played up to it.
static void moveTo(int64_t frame, bool paused, int64_t nowNs) {
    frame = clampFrame(frame);
    streamClock.paused = paused;
    streamClock.position = static_cast<double>(frame);
    streamClock.holding = true;
    streamClock.lastReadNs = nowNs;
    streamClock.manualFrame = frame;
    streamClock.silentBaseFrame = frame;
    streamClock.silentBaseNs = nowNs;
    sendRequest(frame, paused);
}

void clockUseDevice(bool device, int64_t latencyFrames) {
    streamClock.device = device;
    shared.latencyFrames.store(latencyFrames, std::memory_order_relaxed);
}

void clockStartChannel(const DecodedTrack* track, bool paused, int64_t nowNs) {
    streamClock.started = track != nullptr;
    streamClock.manual = false;
    shared.muted.store(false, std::memory_order_relaxed);
    shared.track.store(track, std::memory_order_release);
    moveTo(0, paused, nowNs);
}

void clockSetPaused(bool paused, int64_t nowNs) {
    if (paused == streamClock.paused)
        return;
    moveTo(clockHeardFrame(nowNs), paused, nowNs);
}

void clockSeek(int64_t frame, int64_t nowNs) {
    moveTo(frame, streamClock.paused, nowNs);
}

void clockSetManual(int64_t frame) {
    streamClock.manual = true;
    shared.muted.store(true, std::memory_order_relaxed);
    streamClock.manualFrame = clampFrame(frame);
}

bool clockSounding() {
    return streamClock.started && (streamClock.manual || !streamClock.paused);
}

static int64_t silentFrame(int64_t nowNs) {
    if (streamClock.paused)
        return streamClock.silentBaseFrame;
    return streamClock.silentBaseFrame +
           static_cast<int64_t>(std::floor(framesIn(nowNs - streamClock.silentBaseNs)));
}

// Follows the device's anchor: held at a seek target until it is heard, then
// extrapolated with the steady clock and slewed towards each new anchor.
static int64_t deviceFrame(int64_t nowNs) {
    Anchor anchor = readAnchor();
    if (streamClock.paused || anchor.generation != streamClock.generation || !anchor.advancing)
        return static_cast<int64_t>(streamClock.position);
    double heard = static_cast<double>(anchor.frame) + framesIn(nowNs - anchor.timeNs);
    if (heard > static_cast<double>(anchor.limitFrame))
        heard = static_cast<double>(anchor.limitFrame);
    double smooth = heard;
    if (streamClock.holding) {
        if (heard < streamClock.position)
            return static_cast<int64_t>(streamClock.position);
        streamClock.holding = false;
    } else {
        double elapsed = static_cast<double>(nowNs - streamClock.lastReadNs) * 1e-9;
        double predicted = streamClock.position + elapsed * soundRate;
        double error = heard - predicted;
        double share = elapsed < slewSeconds ? elapsed / slewSeconds : 1.0;
        smooth = std::fabs(error) > snapFrames ? heard : predicted + error * share;
    }
    // Never ahead of what the device has been given, should it stall.
    if (smooth > static_cast<double>(anchor.limitFrame))
        smooth = static_cast<double>(anchor.limitFrame);
    if (smooth > streamClock.position)
        streamClock.position = smooth;
    streamClock.lastReadNs = nowNs;
    return static_cast<int64_t>(streamClock.position);
}

int64_t clockHeardFrame(int64_t nowNs) {
    if (!streamClock.started)
        return 0;
    if (streamClock.manual)
        return streamClock.manualFrame;
    if (!streamClock.device)
        return silentFrame(nowNs);
    return deviceFrame(nowNs);
}

// `quenlix live`'s link to JACK (or PipeWire's JACK interface): a client with one input port per channel
// whose process callback only copies the inputs, with the transport's state, into a LiveRing; the
// metering thread reads them back as an AudioSource of unknown length. The plug-in never runs in the
// callback: rendering takes the plug-in mutex, which the editor holds while it draws.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/AudioSource.h"
#include "cli/LiveRing.h"

struct _jack_client;
struct _jack_port;

namespace quenlix::cli {

struct LiveFeedSettings {
    int channels = 2;  // input ports, 1 .. kMaxChannels
    std::string clientName = "quenlix";
    std::vector<std::string> connect;  // the port each input is fed from, in input order; may be fewer
    bool autoConnect = true;           // without `connect`: the first physical capture ports
};

// Why reading the feed ended.
enum class LiveEnd { Running, Duration, ServerGone, Stopped };

class LiveFeed {
  public:
    // Opens the client and registers its inputs; the server is never started. Null with `error` set (one
    // line) when it cannot; `noServer` then says whether it was for want of a running server. Main thread.
    static std::unique_ptr<LiveFeed> open(const LiveFeedSettings& settings, std::string& error,
                                          bool& noServer);
    ~LiveFeed();
    LiveFeed(const LiveFeed&) = delete;
    LiveFeed& operator=(const LiveFeed&) = delete;

    // Starts the callback and connects the inputs as the settings ask. False with `error` (naming the
    // port) when a connection cannot be made. Main thread, once.
    bool start(std::string& error);

    // The feed as a source for the metering thread, delivering what arrived since start() connected the
    // inputs (what came before is the silence of unconnected ports): it waits for
    // audio (waking every 10 ms), and ends after `maxFrames` frames (-1: no limit), once the server has
    // gone and what it delivered is read, or, after what has arrived is read, once `stopAsked` is true.
    // One reader per feed; the feed must outlive it.
    std::unique_ptr<AudioSource> reader(std::int64_t maxFrames, std::function<bool()> stopAsked);

    int sampleRate() const { return mSampleRate; }
    int channels() const { return mChannels; }
    // The client's name as the server gave it (it may add a suffix when the name is taken).
    const std::string& clientName() const { return mClientName; }
    // The inputs' connections as made by start(), "system:capture_1" style, in input order.
    const std::vector<std::string>& sources() const { return mSources; }

    // Why reading ended (Running while it goes on). Any thread.
    LiveEnd ended() const { return mEnded.load(std::memory_order_acquire); }
    // Whether the transport rolled in the frames the reader delivered last. Metering thread.
    bool lastReadRolling() const { return mLastReadRolling; }
    // Xruns the server reported while the feed ran; frames lost because the reader fell behind; the
    // callback's longest run in microseconds. Any thread.
    std::int64_t xruns() const { return mXruns.load(std::memory_order_relaxed); }
    std::int64_t droppedFrames() const { return mRing.droppedFrames(); }
    double worstCallbackUs() const { return mWorstCallbackNs.load(std::memory_order_relaxed) * 1e-3; }
    bool serverGone() const { return mServerGone.load(std::memory_order_acquire); }

  private:
    class Reader;
    LiveFeed(_jack_client* client, const LiveFeedSettings& settings, int sampleRate);

    friend struct LiveFeedCallbacks;

    _jack_client* mClient;
    LiveFeedSettings mSettings;
    int mChannels;
    int mSampleRate;
    std::string mClientName;
    std::vector<_jack_port*> mPorts;
    std::vector<std::string> mSources;
    LiveRing mRing;  // mChannels audio values and the transport's rolling flag (1 or 0) per frame
    bool mActive = false;
    bool mLastReadRolling = true;

    // Written by the callback and the server's notification thread, read by any thread.
    // Set once the inputs are connected, cleared once the reader ended: the callback copies only between.
    std::atomic<bool> mReading{false};
    std::atomic<bool> mServerGone{false};
    std::atomic<std::int64_t> mXruns{0};
    std::atomic<std::int64_t> mWorstCallbackNs{0};
    std::atomic<LiveEnd> mEnded{LiveEnd::Running};
};

// What the summary calls the way a live session ended ("the duration was reached").
std::string liveEndText(LiveEnd end, int stopSignal);

}  // namespace quenlix::cli

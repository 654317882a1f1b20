#include "cli/LiveFeed.h"

#include <jack/jack.h>
#include <jack/transport.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace quenlix::cli {

// The callback copies at most this many frames at a time, so its constant flag columns stay small
// whatever period the server runs.
constexpr std::uint32_t kPieceFrames = 1024;
// The hand-over holds this much audio, so that a reader held up (the first window opening, a slow disk
// under the timeline) loses nothing.
constexpr double kRingSeconds = 8.0;
// How often a reader with nothing to read looks again.
constexpr std::chrono::milliseconds kPollPeriod{10};

namespace {

constexpr std::array<float, kPieceFrames> column(float value) {
    std::array<float, kPieceFrames> a{};
    for (float& v : a) v = value;
    return a;
}
constexpr std::array<float, kPieceFrames> kRollingColumn = column(1.0f);
constexpr std::array<float, kPieceFrames> kStoppedColumn = column(0.0f);

void silent(const char*) {}

std::int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

struct LiveFeedCallbacks {
    // Audio thread: copies the period into the ring; no allocation, no lock, no output.
    static int process(jack_nframes_t frames, void* arg) {
        auto* feed = static_cast<LiveFeed*>(arg);
        if (!feed->mReading.load(std::memory_order_relaxed)) return 0;
        const std::int64_t began = nowNs();
        const bool rolling = jack_transport_query(feed->mClient, nullptr) == JackTransportRolling;
        const float* inputs[kMaxChannels];
        for (int c = 0; c < feed->mChannels; ++c)
            inputs[c] = static_cast<const float*>(jack_port_get_buffer(feed->mPorts[c], frames));
        const float* columns[kMaxChannels + 1];
        for (jack_nframes_t done = 0; done < frames;) {
            const jack_nframes_t n = std::min(frames - done, kPieceFrames);
            for (int c = 0; c < feed->mChannels; ++c) columns[c] = inputs[c] + done;
            columns[feed->mChannels] = rolling ? kRollingColumn.data() : kStoppedColumn.data();
            feed->mRing.push(columns, n);
            done += n;
        }
        const std::int64_t took = nowNs() - began;
        if (took > feed->mWorstCallbackNs.load(std::memory_order_relaxed))
            feed->mWorstCallbackNs.store(took, std::memory_order_relaxed);
        return 0;
    }

    // The server's notification thread.
    static int xrun(void* arg) {
        static_cast<LiveFeed*>(arg)->mXruns.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }

    // A thread of the client library, once the server has gone or thrown the client out.
    static void shutdown(jack_status_t, const char*, void* arg) {
        static_cast<LiveFeed*>(arg)->mServerGone.store(true, std::memory_order_release);
    }
};

// Metering thread: the feed as a stream, with the transport's flag taken off each frame.
class LiveFeed::Reader final : public AudioSource {
  public:
    Reader(LiveFeed& feed, std::int64_t maxFrames, std::function<bool()> stopAsked)
        : mFeed(feed), mMaxFrames(maxFrames), mStopAsked(std::move(stopAsked)) {}
    ~Reader() override { mFeed.mReading.store(false, std::memory_order_relaxed); }

    int channels() const override { return mFeed.mChannels; }
    int sampleRate() const override { return mFeed.mSampleRate; }
    std::int64_t frames() const override { return kUnknownFrames; }

    std::int64_t read(float* interleaved, std::int64_t maxFrames, std::string&) override {
        if (maxFrames <= 0 || mFeed.ended() != LiveEnd::Running) return 0;
        if (mMaxFrames >= 0) maxFrames = std::min(maxFrames, mMaxFrames - mDelivered);
        if (maxFrames <= 0) return end(LiveEnd::Duration);
        while (mPending == mTaken) {
            // Checked before the ring, so what arrived before the server went or the stop came is read.
            const bool gone = mFeed.serverGone();
            const bool stop = mStopAsked && mStopAsked();
            if (fill(maxFrames) > 0) break;
            if (gone) return end(LiveEnd::ServerGone);
            if (stop) return end(LiveEnd::Stopped);
            std::this_thread::sleep_for(kPollPeriod);
        }
        // Frames of one transport state only, so the host can set the transport for the whole block.
        const int width = mFeed.mChannels + 1;
        const float* frame = mScratch.data() + mTaken * width;
        const bool rolling = frame[mFeed.mChannels] != 0.0f;
        std::int64_t n = 0;
        for (; n < maxFrames && mTaken + n < mPending; ++n, frame += width) {
            if ((frame[mFeed.mChannels] != 0.0f) != rolling) break;
            std::copy(frame, frame + mFeed.mChannels, interleaved + n * mFeed.mChannels);
        }
        mTaken += n;
        mDelivered += n;
        mFeed.mLastReadRolling = rolling;
        return n;
    }

  private:
    std::int64_t fill(std::int64_t maxFrames) {
        const int width = mFeed.mChannels + 1;
        if (static_cast<std::int64_t>(mScratch.size()) < maxFrames * width)
            mScratch.resize(static_cast<std::size_t>(maxFrames * width));
        mTaken = 0;
        mPending = mFeed.mRing.pop(mScratch.data(), maxFrames);
        return mPending;
    }

    std::int64_t end(LiveEnd why) {
        LiveEnd running = LiveEnd::Running;
        mFeed.mEnded.compare_exchange_strong(running, why, std::memory_order_acq_rel);
        mFeed.mReading.store(false, std::memory_order_relaxed);
        return 0;
    }

    LiveFeed& mFeed;
    std::int64_t mMaxFrames;
    std::function<bool()> mStopAsked;
    std::vector<float> mScratch;  // frames popped from the ring, with their flags
    std::int64_t mPending = 0;    // frames in mScratch
    std::int64_t mTaken = 0;      // of those, handed on
    std::int64_t mDelivered = 0;
};

std::unique_ptr<LiveFeed> LiveFeed::open(const LiveFeedSettings& settings, std::string& error,
                                         bool& noServer) {
    noServer = false;
    // The library's own messages would repeat what the one line says, on every failed attempt.
    jack_set_error_function(silent);
    jack_set_info_function(silent);
    jack_status_t status{};
    jack_client_t* client = jack_client_open(settings.clientName.c_str(), JackNoStartServer, &status);
    if (client == nullptr) {
        noServer = (status & JackServerFailed) != 0;
        if (noServer) {
            const char* name = std::getenv("JACK_DEFAULT_SERVER");
            error = std::string("no JACK server is running") +
                    (name != nullptr && name[0] != '\0' ? std::string(" (server name ") + name + ")" : "");
        } else {
            error = "the JACK server refused the client " + settings.clientName + " (status 0x" +
                    [](unsigned v) {
                        char b[16];
                        std::snprintf(b, sizeof b, "%x", v);
                        return std::string(b);
                    }(static_cast<unsigned>(status)) +
                    ")";
        }
        return nullptr;
    }
    const int rate = static_cast<int>(jack_get_sample_rate(client));
    if (std::string problem = formatProblem(settings.channels, rate); !problem.empty()) {
        jack_client_close(client);
        error = "the JACK server runs at " + std::to_string(rate) + " Hz: " + problem;
        return nullptr;
    }
    std::unique_ptr<LiveFeed> feed(new LiveFeed(client, settings, rate));
    for (int c = 0; c < feed->mChannels; ++c) {
        const std::string port = "in_" + std::to_string(c + 1);
        jack_port_t* p = jack_port_register(client, port.c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                            JackPortIsInput | JackPortIsTerminal, 0);
        if (p == nullptr) {
            error = "cannot register the JACK port " + feed->mClientName + ":" + port;
            return nullptr;
        }
        feed->mPorts.push_back(p);
    }
    jack_set_process_callback(client, LiveFeedCallbacks::process, feed.get());
    jack_set_xrun_callback(client, LiveFeedCallbacks::xrun, feed.get());
    jack_on_info_shutdown(client, LiveFeedCallbacks::shutdown, feed.get());
    return feed;
}

LiveFeed::LiveFeed(jack_client_t* client, const LiveFeedSettings& settings, int sampleRate)
    : mClient(client),
      mSettings(settings),
      mChannels(settings.channels),
      mSampleRate(sampleRate),
      mClientName(jack_get_client_name(client)),
      mRing(settings.channels + 1, static_cast<std::int64_t>(kRingSeconds * sampleRate)) {}

LiveFeed::~LiveFeed() {
    mReading.store(false, std::memory_order_relaxed);
    // After a shutdown only the close is left to do; it frees the client either way.
    if (mActive && !serverGone()) jack_deactivate(mClient);
    jack_client_close(mClient);
}

bool LiveFeed::start(std::string& error) {
    if (jack_activate(mClient) != 0) {
        error = "the JACK server did not start the client " + mClientName;
        return false;
    }
    mActive = true;
    std::vector<std::string> from = mSettings.connect;
    if (from.empty() && mSettings.autoConnect) {
        const char** physical =
            jack_get_ports(mClient, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsOutput);
        for (int i = 0; physical != nullptr && physical[i] != nullptr && i < mChannels; ++i)
            from.emplace_back(physical[i]);
        jack_free(physical);
    }
    for (std::size_t c = 0; c < from.size() && c < mPorts.size(); ++c) {
        jack_port_t* source = jack_port_by_name(mClient, from[c].c_str());
        if (source == nullptr) {
            error = "no JACK port " + from[c];
            return false;
        }
        if ((jack_port_flags(source) & JackPortIsOutput) == 0) {
            error = "the JACK port " + from[c] + " is an input, not a source";
            return false;
        }
        const int result = jack_connect(mClient, from[c].c_str(), jack_port_name(mPorts[c]));
        if (result != 0 && result != EEXIST) {
            error = "cannot connect " + from[c] + " to " + jack_port_name(mPorts[c]);
            return false;
        }
        mSources.push_back(from[c]);
    }
    mReading.store(true, std::memory_order_relaxed);
    return true;
}

std::unique_ptr<AudioSource> LiveFeed::reader(std::int64_t maxFrames, std::function<bool()> stopAsked) {
    return std::make_unique<Reader>(*this, maxFrames, std::move(stopAsked));
}

std::string liveEndText(LiveEnd end, int stopSignal) {
    switch (end) {
        case LiveEnd::Duration:
            return "the duration was reached";
        case LiveEnd::ServerGone:
            return "the JACK server went away";
        case LiveEnd::Stopped:
            return stopSignal == SIGTERM ? "ended by SIGTERM" : "interrupted by SIGINT";
        case LiveEnd::Running:
            break;
    }
    return {};
}

}  // namespace quenlix::cli

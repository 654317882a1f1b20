#include "cli/Live.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <ostream>

#include "cli/Delivery.h"
#include "cli/LiveFeed.h"
#include "cli/LiveOptions.h"
#include "cli/LiveSession.h"
#include "cli/LiveStatus.h"
#include "cli/Meterer.h"
#include "cli/OutputFiles.h"
#include "cli/Progress.h"
#include "cli/View.h"

namespace quenlix::cli {
namespace {

// Whether the editor can open in a window: a display is named and reachable. Says why not when one is
// named but cannot be used; without one the status line is simply what the user gets.
bool windowReachable(SessionFactory& factory, std::ostream& err) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') return false;
    std::string error;
    if (factory.useWindows(error)) return true;
    err << "quenlix: no editor window on DISPLAY=" << display << " (" << error
        << "); a status line instead\n";
    return false;
}

}  // namespace

int runLive(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
            const FactoryMaker& makeFactory, bool terminal) {
    LiveOptions live;
    if (std::optional<int> code = parseLiveArguments(argc, argv, live, out, err)) return *code;
    Options& options = live.metering;

    std::vector<std::uint8_t> state;
    if (!options.statePath.empty()) {
        std::string error;
        if (!readState(options.statePath, state, error)) {
            err << "quenlix: --state " << options.statePath << ": " << error << '\n';
            return kExitUsage;
        }
    }
    if (!checkOutputPaths(options, err)) return kExitSomeFailed;

    LiveFeedSettings settings;
    settings.channels = live.channels;
    settings.clientName = live.clientName;
    settings.connect = live.connect;
    settings.autoConnect = !live.noConnect;
    std::string error;
    bool noServer = false;
    std::unique_ptr<LiveFeed> feed = LiveFeed::open(settings, error, noServer);
    if (!feed) {
        err << "quenlix: " << error << '\n';
        return noServer ? kExitUsage : kExitSomeFailed;
    }

    std::unique_ptr<SessionFactory> plugin = makeFactory(options.pluginPath, error);
    if (!plugin) {
        err << "quenlix: " << error << '\n';
        return kExitSomeFailed;
    }
    std::unique_ptr<SessionFactory> factory =
        followTransport(*plugin, [&feed] { return feed->lastReadRolling(); });
    const bool window = !live.noWindow && windowReachable(*factory, err);

    std::vector<FileReport> reports;
    {
        // From here Ctrl-C and SIGTERM end the session with its summary.
        StopSignals stopSignals;
        if (!feed->start(error)) {
            err << "quenlix: " << error << '\n';
            return kExitUsage;
        }
        const std::int64_t maxFrames =
            live.durationS ? std::llround(*live.durationS * feed->sampleRate()) : std::int64_t{-1};
        MeterJob job;
        job.name = "jack:" + feed->clientName();
        job.keepHistory = !options.plotPath.empty();
        LiveFeed& source = *feed;
        job.open = [&source, maxFrames](std::string&) {
            return source.reader(maxFrames, [] { return caughtStopSignal() != 0; });
        };
        LiveStatus status(err, !window && terminal && !options.quiet);
        Progress progress(err, false, 1);
        const std::vector<std::uint8_t>* applied = options.statePath.empty() ? nullptr : &state;
        if (window) {
            // The feed keeps its own pace; the window only follows it.
            Options unpaced = options;
            unpaced.speed = std::numeric_limits<double>::infinity();
            reports = meterInView(job, *factory, unpaced, applied, progress);
        } else {
            job.afterBlock = [&status](MeteringSession& session, std::int64_t framesDone, int sampleRate) {
                status.update(session, static_cast<double>(framesDone) / sampleRate);
                return true;
            };
            reports.push_back(meterOne(job, 0, *factory, options, applied, progress));
        }
        status.finish();

        // A live session has no end to be cut short of: how it ended is its own line.
        FileReport& report = reports.front();
        LiveSummary summary;
        if (report.cutShort) {
            summary.endedBy = report.stopReason;
            report.cutShort = false;
            report.stopReason.clear();
            report.totalFrames = -1;
        } else {
            summary.endedBy = liveEndText(feed->ended(), caughtStopSignal());
        }
        summary.xruns = feed->xruns();
        summary.droppedFrames = feed->droppedFrames();
        summary.worstCallbackUs = feed->worstCallbackUs();
        report.live = summary;
        if (feed->ended() == LiveEnd::ServerGone)
            err << "quenlix: the JACK server went away; the session ends with what was metered\n";
    }
    // The client goes before the summary, so the ports vanish from the user's patchbay as the run ends.
    feed.reset();
    judge(reports, options);
    return deliverReports(reports, options, out, err);
}

}  // namespace quenlix::cli

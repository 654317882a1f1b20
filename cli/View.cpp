#include "cli/View.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "cli/Delivery.h"

namespace quenlix::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The editor's own frame rate: its window is redrawn (and its input taken) on every tick.
constexpr std::chrono::microseconds kTickPeriod{40000};

// When the next block may be metered and the window next ticks; one per run.
struct Pace {
    double speed = 1.0;
    Clock::time_point start;
    Clock::time_point nextTick;
};

// Waits until `framesDone` frames are due at the chosen pace, ticking the window on time meanwhile. False
// as soon as the user asked to close the window.
bool keepPace(Pace& pace, MeteringSession& session, std::int64_t framesDone, int sampleRate) {
    const auto due = pace.start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                                      static_cast<double>(framesDone) / sampleRate / pace.speed));
    for (;;) {
        Clock::time_point now = Clock::now();
        if (now >= pace.nextTick) {
            session.tickWindow();
            if (session.windowCloseRequested()) return false;
            // A late tick is not made up for: the next one follows a whole period later.
            pace.nextTick = std::max(pace.nextTick + kTickPeriod, now);
        }
        if (now >= due) return true;
        std::this_thread::sleep_until(std::min(due, pace.nextTick));
    }
}

}  // namespace

bool prepareView(SessionFactory& factory, std::ostream& err) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0') {
        err << "quenlix: view needs an X display, and DISPLAY is not set\n";
        return false;
    }
    std::string error;
    if (!factory.useWindows(error)) {
        err << "quenlix: view needs an X display: " << error << " (DISPLAY=" << display << ")\n";
        return false;
    }
    return true;
}

MeterJob viewJob(const std::string& file, const Options& options) {
    MeterJob job = programmeJob(file, options);
    auto pace = std::make_shared<Pace>();
    pace->speed = options.speed;
    job.onStart = [pace](MeteringSession& session, std::string& error) {
        if (!session.openWindow(error)) return false;
        pace->start = Clock::now();
        pace->nextTick = pace->start;
        return true;
    };
    job.afterBlock = [pace](MeteringSession& session, std::int64_t framesDone, int sampleRate) {
        return keepPace(*pace, session, framesDone, sampleRate);
    };
    job.onEnd = [](MeteringSession& session) { session.closeWindow(); };
    return job;
}

}  // namespace quenlix::cli

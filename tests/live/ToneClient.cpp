// A JACK client of the tests that plays a stereo 997 Hz tone on its ports out_1 and out_2 until SIGTERM,
// SIGINT or the server going away:
//   quenlix_test_tone NAME PEAK_DBFS [WOBBLE_HZ]
// The tone begins when both ports are connected. With WOBBLE_HZ the level swings between the peak and about
// 20 dB below it that many times a second, so meters never settle. Prints "ready" on standard output once its
// ports exist.
#include <jack/jack.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/live/Tone.h"

namespace {

std::atomic<bool> gEnd{false};
jack_port_t* gPorts[2] = {};
Tone gTone;

extern "C" void onSignal(int) {
    gEnd.store(true);
}

// The tone starts from its first sample once both ports are connected, as a player starts when patched,
// so the meter sees it begin at a zero crossing rather than join it mid-cycle (whose step a true-peak
// meter rightly reads as an overshoot).
bool gPlaying = false;

int process(jack_nframes_t frames, void*) {
    auto* left = static_cast<float*>(jack_port_get_buffer(gPorts[0], frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(gPorts[1], frames));
    if (!gPlaying) gPlaying = jack_port_connected(gPorts[0]) > 0 && jack_port_connected(gPorts[1]) > 0;
    for (jack_nframes_t i = 0; i < frames; ++i) left[i] = right[i] = gPlaying ? gTone.next() : 0.0f;
    return 0;
}

void onShutdown(void*) {
    gEnd.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quenlix_test_tone NAME PEAK_DBFS [WOBBLE_HZ]\n");
        return 2;
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open(argv[1], JackNoStartServer, &status);
    if (client == nullptr) {
        std::fprintf(stderr, "quenlix_test_tone: no JACK server (status 0x%x)\n",
                     static_cast<unsigned>(status));
        return 1;
    }
    gTone = Tone(std::atof(argv[2]), argc > 3 ? std::atof(argv[3]) : 0.0,
                 static_cast<int>(jack_get_sample_rate(client)));
    gPorts[0] = jack_port_register(client, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    gPorts[1] = jack_port_register(client, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (gPorts[0] == nullptr || gPorts[1] == nullptr) return 1;
    jack_set_process_callback(client, process, nullptr);
    jack_on_shutdown(client, onShutdown, nullptr);
    signal(SIGTERM, onSignal);
    signal(SIGINT, onSignal);
    if (jack_activate(client) != 0) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    while (!gEnd.load()) usleep(20000);
    jack_client_close(client);
    return 0;
}

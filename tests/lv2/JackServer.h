// A JACK dummy server of the test's own name for the tests that run real hosts, started by the test
// and stopped in every outcome.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace lv2test {

class JackServer {
  public:
    // `periodFrames` frames a period at 48 kHz. A `synchronous` server waits for its clients in every
    // cycle, so a client held up on a loaded machine makes the cycle late instead of handing on a stale or
    // empty buffer.
    explicit JackServer(const std::string& name, int periodFrames = 1024, bool synchronous = false)
        : mName(name) {
        const std::string period = std::to_string(periodFrames);
        mPid = fork();
        if (mPid == 0) {
            setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            if (synchronous)
                execlp("jackd", "jackd", "-S", "-n", name.c_str(), "-d", "dummy", "-r", "48000", "-p",
                       period.c_str(), static_cast<char*>(nullptr));
            else
                execlp("jackd", "jackd", "-n", name.c_str(), "-d", "dummy", "-r", "48000", "-p",
                       period.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~JackServer() { Stop(); }
    // Ends the server now, as a crash would for its clients; the destructor does it anyway.
    void Stop(int signo = SIGTERM) {
        if (mPid > 0) {
            kill(mPid, signo);
            bool reaped = false;
            for (int i = 0; i < 50 && !(reaped = waitpid(mPid, nullptr, WNOHANG) == mPid); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!reaped) {
                kill(mPid, SIGKILL);
                waitpid(mPid, nullptr, 0);
            }
            mPid = -1;
        }
    }
    // Waits at most 10 s for the server to take clients.
    bool Ready() const {
        if (mPid <= 0) return false;
        const std::string cmd = "jack_wait -s '" + mName + "' -w -t 10 >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

  private:
    std::string mName;
    pid_t mPid = -1;
};

}  // namespace lv2test

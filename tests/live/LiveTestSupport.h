// Shared by the tests of `quenlix live`: programs run in the background with their output in files, the
// test tone client, and the measurements read from a JSON summary.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace livetest {

struct ProgramRun {
    int exitCode = -1;  // -2: still running at the deadline (then killed)
    std::string out;
    std::string err;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A program started in the background with `argv`, the test's environment and, with `extraEnv`, more
// variables ("DISPLAY=:5"); standard output and error go to files (or, with `outPipe`, standard output to
// a pipe the test reads). Killed in every outcome by the destructor.
class Background {
  public:
    Background(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
               bool outPipe = false)
        : mBase("/tmp/quenlix-live-test-" + std::to_string(getpid()) + "-" + std::to_string(sCount++)) {
        int fds[2] = {-1, -1};
        if (outPipe && pipe(fds) != 0) return;
        const std::string out = mBase + ".out", err = mBase + ".err";
        mPid = fork();
        if (mPid == 0) {
            const int o = outPipe ? fds[1] : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
            if (outPipe) close(fds[0]);
            for (const std::string& v : extraEnv) putenv(const_cast<char*>(v.c_str()));
            // As a shell's foreground job has them, also when the tests run as a background job.
            ::signal(SIGINT, SIG_DFL);
            ::signal(SIGTERM, SIG_DFL);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        if (outPipe) {
            close(fds[1]);
            mPipe = fds[0];
        }
    }
    ~Background() {
        if (mPid > 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
        if (mPipe >= 0) close(mPipe);
        std::remove((mBase + ".out").c_str());
        std::remove((mBase + ".err").c_str());
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    bool started() const { return mPid > 0; }
    void signal(int signo) const {
        if (mPid > 0) kill(mPid, signo);
    }
    // Waits at most `timeoutMs` for `line` on the piped standard output.
    bool waitForLine(const std::string& line, int timeoutMs) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{mPipe, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char c = 0;
            if (read(mPipe, &c, 1) != 1) return false;
            if (c == '\n') {
                if (got == line) return true;
                got.clear();
            } else {
                got += c;
            }
        }
        return false;
    }
    // Waits at most `timeoutS` for the program to end.
    ProgramRun finish(double timeoutS) {
        ProgramRun run;
        run.exitCode = -2;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutS);
        int status = 0;
        while (mPid > 0 && std::chrono::steady_clock::now() < deadline) {
            if (waitpid(mPid, &status, WNOHANG) == mPid) {
                run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                mPid = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        run.out = readFile(mBase + ".out");
        run.err = readFile(mBase + ".err");
        return run;
    }

  private:
    static inline int sCount = 0;
    std::string mBase;
    pid_t mPid = -1;
    int mPipe = -1;
};

}  // namespace livetest

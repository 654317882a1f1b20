#include "cli/LiveSession.h"

namespace quenlix::cli {
namespace {

class TransportSession final : public MeteringSession {
  public:
    TransportSession(std::unique_ptr<MeteringSession> inner, const std::function<bool()>& rolling)
        : mInner(std::move(inner)), mRollingNow(rolling) {}

    bool start(int channels, double sampleRate, std::string& error) override {
        return mInner->start(channels, sampleRate, error);
    }
    std::string version() const override { return mInner->version(); }
    bool restoreState(const std::vector<std::uint8_t>& chunk, std::string& error) override {
        return mInner->restoreState(chunk, error);
    }
    bool saveState(std::vector<std::uint8_t>& chunk, std::string& error) override {
        return mInner->saveState(chunk, error);
    }
    bool setParameter(int index, double value, std::string& error) override {
        return mInner->setParameter(index, value, error);
    }
    // The reader hands over frames of one transport state at a time, and the host renders them before it
    // reads again: the state of the last read holds for every block rendered until the next.
    bool render(const float* const* channels, int frames, std::string& error) override {
        const bool rolling = mRollingNow();
        if (rolling != mRolling) {
            mInner->setTransportRunning(rolling);
            mRolling = rolling;
        }
        return mInner->render(channels, frames, error);
    }
    void setTransportRunning(bool running) override {
        mInner->setTransportRunning(running);
        mRolling = running;
    }
    ParamReading parameter(int index) const override { return mInner->parameter(index); }
    Measurements measurements() const override { return mInner->measurements(); }
    Readouts readouts() const override { return mInner->readouts(); }
    bool snapshot(const std::string& pngPath, std::string& error) override {
        return mInner->snapshot(pngPath, error);
    }
    void setEditorScale(double scale) override { mInner->setEditorScale(scale); }
    bool openWindow(const std::string& title, std::string& error) override {
        return mInner->openWindow(title, error);
    }
    void tickWindow() override { mInner->tickWindow(); }
    bool windowCloseRequested() override { return mInner->windowCloseRequested(); }
    bool windowConnectionLost() override { return mInner->windowConnectionLost(); }
    void closeWindow() override { mInner->closeWindow(); }

  private:
    std::unique_ptr<MeteringSession> mInner;
    const std::function<bool()>& mRollingNow;
    bool mRolling = true;  // as start() leaves the transport
};

class TransportSessionFactory final : public SessionFactory {
  public:
    TransportSessionFactory(SessionFactory& inner, std::function<bool()> rolling)
        : mInner(inner), mRolling(std::move(rolling)) {}
    std::unique_ptr<MeteringSession> create(std::string& error) override {
        std::unique_ptr<MeteringSession> inner = mInner.create(error);
        if (!inner) return nullptr;
        return std::make_unique<TransportSession>(std::move(inner), mRolling);
    }
    bool useWindows(std::string& error) override { return mInner.useWindows(error); }

  private:
    SessionFactory& mInner;
    std::function<bool()> mRolling;
};

}  // namespace

std::unique_ptr<SessionFactory> followTransport(SessionFactory& inner, std::function<bool()> rolling) {
    return std::make_unique<TransportSessionFactory>(inner, std::move(rolling));
}

}  // namespace quenlix::cli

#include "tests/conformance/EbuMeterHost.h"

#include <mutex>
#include <vector>

#include "cli/PluginSession.h"

namespace conformance {
namespace {

const char* const kConfigNames[] = {"2.0 Stereo", "4.0 Surround", "4.1 Surround", "5.1 Surround"};

// The module the build made (QUENLIX_CONFORMANCE_PLUGIN), loaded once and shared by every test of a run.
quenlix::cli::SessionFactory* sessionFactory(std::string& error) {
    static std::once_flag once;
    static std::unique_ptr<quenlix::cli::SessionFactory> factory;
    static std::string loadError;
    std::call_once(once, [] {
        factory = quenlix::cli::makePluginSessionFactory(QUENLIX_CONFORMANCE_PLUGIN, loadError);
    });
    if (!factory) error = "cannot load the plug-in module: " + loadError;
    return factory.get();
}

}  // namespace

bool EbuMeterHost::open(int channels, double sampleRate, EbuChannelConfig config, std::string& error) {
    quenlix::cli::SessionFactory* factory = sessionFactory(error);
    if (factory == nullptr) return false;
    mSession = factory->create(error);
    if (!mSession || !mSession->start(channels, sampleRate, error)) return false;
    if (!mSession->setParameter(quenlix::cli::kParamType, 1.0, error) ||
        !mSession->setParameter(quenlix::cli::kParamEbuChannelConfig, static_cast<double>(config), error))
        return false;
    // What the host reads back proves the settings reached the plug-in, not just the control table.
    std::string type = mSession->parameter(quenlix::cli::kParamType).text;
    std::string layout = mSession->parameter(quenlix::cli::kParamEbuChannelConfig).text;
    if (type != "EBU R128" || layout != kConfigNames[config] || mSession->measurements().meterType != 1) {
        error = "the plug-in shows Type \"" + type + "\" and EBU Channel Config \"" + layout + "\"";
        return false;
    }
    return true;
}

bool EbuMeterHost::play(SteppedSine& signal, std::string& error, const Watcher& watch) {
    std::vector<std::vector<float>> buffers(static_cast<std::size_t>(signal.channels()),
                                            std::vector<float>(kBlockFrames));
    std::vector<float*> channels;
    for (auto& b : buffers) channels.push_back(b.data());
    while (!signal.finished()) {
        int n = signal.render(channels.data(), kBlockFrames);
        if (!mSession->render(channels.data(), n, error)) return false;
        if (watch) watch(signal.secondsDone(), mSession->measurements());
    }
    return true;
}

}  // namespace conformance

#include "cli/PluginSession.h"

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "host/rtas/format/HostModule.h"
#include "host/rtas/module/QuenlixHostCalls.h"

namespace quenlix::cli {
namespace {

namespace fs = std::filesystem;

// Host control IDs of the parameters: ' ld ' + parameter index.
constexpr OSType kParamControlBase = 0x206C6420;
// Output values are decoded from 32-bit host controls (a step of 72 dB / 2^32); six decimals keep every
// published digit and drop the encoding's noise.
constexpr double kOutputResolution = 1e6;

std::string executableDir() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

// Holds the loaded module, its inspection call and the lock that stands in for the host's main thread: every
// call other than rendering is made under it, one instance at a time.
struct LoadedPlugin {
    std::shared_ptr<rtashost::Module> module;
    void* handle = nullptr;  // our own reference to the module's library, for the inspection calls
    QuenlixInspectFunction inspect = nullptr;
    QuenlixWriteEditorPictureFunction writePicture = nullptr;
    QuenlixUseWindowSystemFunction useWindowSystem = nullptr;            // null in older modules
    QuenlixSetEditorWindowTitleFunction setWindowTitle = nullptr;        // null in older modules
    QuenlixSetEditorScaleFunction setEditorScale = nullptr;              // null in older modules
    QuenlixEditorCloseRequestedFunction editorCloseRequested = nullptr;  // null in older modules
    std::recursive_mutex mainThread;
    ~LoadedPlugin() {
        if (handle != nullptr) dlclose(handle);
    }
};

class PluginSession final : public MeteringSession {
  public:
    explicit PluginSession(std::shared_ptr<LoadedPlugin> plugin) : mPlugin(std::move(plugin)) {}

    ~PluginSession() override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        mInstance.reset();
    }

    // Known once start() has created the instance.
    std::string version() const override { return mVersion; }

    bool start(int channels, double sampleRate, std::string& error) override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        // The smallest insert that holds the programme; missing channels are fed silence.
        int typeIndex = -1;
        for (int n = channels; n <= 8 && typeIndex < 0; ++n) {
            typeIndex = mPlugin->module->FindEffectType(n, n);
        }
        if (typeIndex < 0) {
            error = "the plug-in has no effect type for " + std::to_string(channels) + " channels";
            return false;
        }
        rtashost::InstanceConfig config;
        config.sampleRate = sampleRate;
        config.maxQuantum = kMaxQuantum;
        mInstance = rtashost::Instance::Create(mPlugin->module, typeIndex, config, &error);
        if (!mInstance) return false;
        if (!mInstance->Initialize()) {
            error = "the plug-in instance did not initialise";
            return false;
        }
        mInstance->GetTransport().SetPlaying(true);
        mInstance->GetTransport().SetSampleLocation(0);
        mChannels = channels;
        mInputs.assign(static_cast<std::size_t>(mInstance->GetNumInputs()), nullptr);
        mOutputBuffers.assign(static_cast<std::size_t>(mInstance->GetNumOutputs()),
                              std::vector<float>(kMaxQuantum));
        mOutputs.clear();
        for (auto& b : mOutputBuffers) mOutputs.push_back(b.data());
        mSilence.assign(kMaxQuantum, 0.0f);

        for (int i = 0; i < kParamCount; ++i) {
            mControls[i] = mInstance->FindControl(kParamControlBase + static_cast<OSType>(i));
            if (mControls[i] == 0) {
                error = "the plug-in has no host control for parameter " + std::to_string(i);
                return false;
            }
        }
        QuenlixMeterReport report;
        if (inspect(report)) mVersion = versionText(report.mVendorVersion);
        return true;
    }

    bool restoreState(const std::vector<std::uint8_t>& chunk, std::string& error) override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        ComponentResult result = mInstance->RestoreChunk(chunk);
        if (result != kNoErr) {
            error = "the plug-in refused the saved state (error " + std::to_string(result) + ")";
            return false;
        }
        return true;
    }

    bool saveState(std::vector<std::uint8_t>& chunk, std::string& error) override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        std::vector<unsigned char> bytes;
        if (!mInstance->SaveChunk(&bytes, &error)) return false;
        chunk.assign(bytes.begin(), bytes.end());
        return true;
    }

    bool setParameter(int index, double value, std::string& error) override {
        if (index < 0 || index >= kParamCount) {
            error = "no parameter " + std::to_string(index);
            return false;
        }
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        mInstance->SetControlNumber(mControls[index], value);
        return true;
    }

    bool render(const float* const* channels, int frames, std::string&) override {
        for (int offset = 0; offset < frames;) {
            int n = std::min(frames - offset, kMaxQuantum);
            for (std::size_t c = 0; c < mInputs.size(); ++c)
                mInputs[c] = const_cast<float*>(static_cast<int>(c) < mChannels ? channels[c] + offset
                                                                                : mSilence.data());
            mInstance->Render(mInputs.data(), mOutputs.data(), n);
            mFramesRendered += n;
            mInstance->GetTransport().SetSampleLocation(mFramesRendered);
            offset += n;
        }
        return true;
    }

    void setTransportRunning(bool running) override { mInstance->GetTransport().SetPlaying(running); }

    ParamReading parameter(int index) const override {
        ParamReading p;
        if (index < 0 || index >= kParamCount) return p;
        int control = mControls[index];
        p.name = mInstance->GetControlInfo(control).name;
        p.value = mInstance->GetControlNumber(control);
        if (std::isfinite(p.value)) p.value = std::round(p.value * kOutputResolution) / kOutputResolution;
        p.text = mInstance->GetControlText(control);
        if (index == kParamRmsWindow) {
            // The host shows the window as a whole number of ms, as the plug-in's own display does.
            p.text = std::to_string(static_cast<long>(std::floor(p.value + 0.5)));
            p.label = "ms";
        }
        return p;
    }

    Measurements measurements() const override {
        Measurements m;
        QuenlixMeterReport r;
        if (!inspect(r)) {
            m.meterType = parameter(kParamType).value >= 0.5 ? 1 : 0;
            return m;
        }
        auto valid = [](double v, int flag) { return flag != 0 ? std::optional<double>(v) : std::nullopt; };
        m.meterType = r.mMeterType;
        m.integratedLufs = valid(r.mEbuIntegratedLufs, r.mEbuIntegratedValid);
        m.momentaryLufs = valid(r.mEbuMomentaryLufs, r.mEbuMomentaryValid);
        m.momentaryMaxLufs = valid(r.mEbuMomentaryMaxLufs, r.mEbuMomentaryValid);
        m.shortTermLufs = valid(r.mEbuShortTermLufs, r.mEbuShortTermValid);
        m.shortTermMaxLufs = valid(r.mEbuShortTermMaxLufs, r.mEbuShortTermValid);
        m.loudnessRangeLu = valid(r.mEbuRangeLu, r.mEbuRangeValid);
        // Per channel of the programme; slots beyond it only ever saw the silence fed to fill the insert.
        double largest = -144.0;
        for (int k = 0; k < kQuenlixInspectSlots; ++k) {
            if (k < mChannels) m.truePeakDbtpPerChannel.push_back(r.mEbuTruePeakDbtp[k]);
            largest = std::max(largest, r.mEbuTruePeakDbtp[k]);
        }
        m.truePeakDbtp = largest;
        m.integratedDbfs = valid(r.mRmsIntegratedDbfs, r.mRmsWindowValid);
        m.momentaryDbfs = valid(r.mRmsMomentaryDbfs, r.mRmsWindowValid);
        m.momentaryMaxDbfs = valid(r.mRmsMomentaryMaxDbfs, r.mRmsWindowValid);
        m.samplePeakDbfs = r.mRmsSamplePeakDbfs;
        m.truePeakDbfs = r.mRmsTruePeakDbfs;
        m.crestDb = valid(r.mRmsCrestDb, r.mRmsCrestValid);
        return m;
    }

    Readouts readouts() const override {
        Readouts out;
        QuenlixMeterReport r;
        if (!inspect(r)) return out;
        // The module sends the texts of the active type's column, in the order of its read-outs.
        const bool ebu = r.mMeterType == 1;
        const int* params = ebu ? quenlix::kEbuReadoutParams.data() : quenlix::kRmsReadoutParams.data();
        const int count = ebu ? quenlix::kNumEbuReadouts : quenlix::kNumRmsReadouts;
        for (int i = 0; i < count && i < r.mNumReadouts; ++i) {
            const char* text = r.mReadouts[i];
            out.emplace_back(quenlix::kParams[params[i]].key,
                             std::string(text, strnlen(text, kQuenlixInspectTextSize)));
        }
        return out;
    }

    void setEditorScale(double scale) override { mEditorScale = scale; }

    bool snapshot(const std::string& pngPath, std::string& error) override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        if (!applyEditorScale(mEditorScale > 0.0 ? mEditorScale : 1.0, error)) return false;
        if (!mInstance->OpenView()) {
            error = "the plug-in has no editor view";
            return false;
        }
        // The view's timer draws what opening it marked dirty: the whole editor as the audio left it.
        mInstance->TickView();
        mInstance->TickView();
        char reason[256] = {};
        bool ok = mPlugin->writePicture(mInstance->GetProcess(), pngPath.c_str(), reason, sizeof reason) == 0;
        mInstance->CloseView();
        if (!ok) error = reason[0] != '\0' ? reason : "cannot write " + pngPath;
        return ok;
    }

    bool openWindow(const std::string& title, std::string& error) override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        if (mPlugin->setWindowTitle != nullptr)
            mPlugin->setWindowTitle(mInstance->GetProcess(), title.c_str());
        if (mEditorScale > 0.0 && !applyEditorScale(mEditorScale, error)) return false;
        if (mPlugin->editorCloseRequested == nullptr || !mInstance->OpenView()) {
            error = "the plug-in cannot open its editor in a window";
            return false;
        }
        if (mPlugin->editorCloseRequested(mInstance->GetProcess()) != 0) {
            mInstance->CloseView();
            error = "the editor window did not open on the X display";
            return false;
        }
        return true;
    }

    void tickWindow() override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        mInstance->TickView();
    }

    bool windowCloseRequested() override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        if (!mInstance->IsViewOpen() || mPlugin->editorCloseRequested == nullptr) return true;
        const int answer = mPlugin->editorCloseRequested(mInstance->GetProcess());
        mConnectionLost = answer == 2;
        return answer != 0;
    }

    bool windowConnectionLost() override { return mConnectionLost; }

    void closeWindow() override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        mInstance->CloseView();
    }

  private:
    // Host render quantum; longer host blocks are handed over in pieces of this size.
    static constexpr int kMaxQuantum = 4096;

    static std::string versionText(int packed) {
        return std::to_string((packed >> 16) & 0xFFFF) + "." + std::to_string((packed >> 8) & 0xFF) + "." +
               std::to_string(packed & 0xFF);
    }

    // Only a scale other than 1 needs the module's scale call, so older modules still draw 1x pictures.
    bool applyEditorScale(double scale, std::string& error) {
        if (mPlugin->setEditorScale == nullptr) {
            if (scale == 1.0) return true;
            error = "the plug-in module cannot draw its editor at another scale";
            return false;
        }
        if (mPlugin->setEditorScale(mInstance->GetProcess(), scale) != 0) {
            error = "the plug-in's editor cannot be drawn at scale " + std::to_string(scale);
            return false;
        }
        return true;
    }

    bool inspect(QuenlixMeterReport& r) const {
        if (!mInstance || mPlugin->inspect == nullptr) return false;
        std::memset(&r, 0, sizeof r);
        r.mStructSize = sizeof r;
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        return mPlugin->inspect(mInstance->GetProcess(), &r) == 0;
    }

    std::shared_ptr<LoadedPlugin> mPlugin;
    std::unique_ptr<rtashost::Instance> mInstance;
    int mChannels = 0;
    int mControls[kParamCount] = {};
    std::vector<float*> mInputs;
    std::vector<float*> mOutputs;
    std::vector<std::vector<float>> mOutputBuffers;
    std::vector<float> mSilence;
    std::int64_t mFramesRendered = 0;
    std::string mVersion;
    bool mConnectionLost = false;
    double mEditorScale = 0.0;
};

class PluginSessionFactory final : public SessionFactory {
  public:
    explicit PluginSessionFactory(std::shared_ptr<LoadedPlugin> plugin) : mPlugin(std::move(plugin)) {}
    std::unique_ptr<MeteringSession> create(std::string&) override {
        return std::make_unique<PluginSession>(mPlugin);
    }

    bool useWindows(std::string& error) override {
        std::lock_guard<std::recursive_mutex> lock(mPlugin->mainThread);
        if (mPlugin->useWindowSystem == nullptr || mPlugin->editorCloseRequested == nullptr) {
            error = "the plug-in module has no window system calls";
            return false;
        }
        if (mPlugin->useWindowSystem(1) != 0) {
            error = "cannot reach the X display";
            return false;
        }
        return true;
    }

  private:
    std::shared_ptr<LoadedPlugin> mPlugin;
};

// The shared object inside a bundle folder: the first regular *.so file directly in it.
std::string moduleInBundle(const fs::path& bundle) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(bundle, ec))
        if (entry.is_regular_file(ec) && entry.path().extension() == ".so") return entry.path().string();
    return {};
}

}  // namespace

std::string resolvePluginModule(const std::string& path, std::string& error) {
    std::error_code ec;
    std::vector<fs::path> candidates;
    if (!path.empty()) {
        candidates.push_back(path);
    } else {
        fs::path dir = executableDir();
        for (const char* relative : {QUENLIX_MODULE_RELATIVE_PATHS}) candidates.push_back(dir / relative);
    }
    for (const fs::path& c : candidates) {
        if (fs::is_directory(c, ec)) {
            std::string inside = moduleInBundle(c);
            if (!inside.empty()) return inside;
        } else if (fs::is_regular_file(c, ec)) {
            return c.string();
        }
    }
    if (!path.empty())
        error = "no plug-in module at " + path;
    else
        error = "no plug-in module beside the program (looked in " +
                candidates.front().lexically_normal().string() + "); build it or give --plugin PATH";
    return {};
}

std::unique_ptr<SessionFactory> makePluginSessionFactory(const std::string& pluginPath, std::string& error) {
    std::string file = resolvePluginModule(pluginPath, error);
    if (file.empty()) return nullptr;
    auto plugin = std::make_shared<LoadedPlugin>();
    plugin->module = rtashost::Module::Load(file, &error);
    if (!plugin->module) return nullptr;
    if (plugin->module->GetNumEffectTypes() < 1) {
        error = "plug-in module " + file + " has no effect types";
        return nullptr;
    }
    // The module stays mapped until the program exits, as plug-in hosts keep their plug-ins: system libraries
    // it brought in (the font library) keep their process-wide state valid after the module is let go.
    plugin->handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    void* symbol = plugin->handle != nullptr ? dlsym(plugin->handle, QUENLIX_INSPECT_ENTRY_POINT) : nullptr;
    if (symbol == nullptr) {
        error = "plug-in module " + file + " offers no " QUENLIX_INSPECT_ENTRY_POINT " call";
        return nullptr;
    }
    static_assert(sizeof(plugin->inspect) == sizeof(symbol), "function and data pointers differ in size");
    std::memcpy(&plugin->inspect, &symbol, sizeof symbol);
    symbol = dlsym(plugin->handle, QUENLIX_EDITOR_PICTURE_ENTRY_POINT);
    if (symbol == nullptr) {
        error = "plug-in module " + file + " offers no " QUENLIX_EDITOR_PICTURE_ENTRY_POINT " call";
        return nullptr;
    }
    static_assert(sizeof(plugin->writePicture) == sizeof(symbol),
                  "function and data pointers differ in size");
    std::memcpy(&plugin->writePicture, &symbol, sizeof symbol);
    // Only `view` needs these; a module without them still meters.
    if ((symbol = dlsym(plugin->handle, QUENLIX_WINDOW_SYSTEM_ENTRY_POINT)) != nullptr)
        std::memcpy(&plugin->useWindowSystem, &symbol, sizeof symbol);
    if ((symbol = dlsym(plugin->handle, QUENLIX_CLOSE_REQUESTED_ENTRY_POINT)) != nullptr)
        std::memcpy(&plugin->editorCloseRequested, &symbol, sizeof symbol);
    if ((symbol = dlsym(plugin->handle, QUENLIX_WINDOW_TITLE_ENTRY_POINT)) != nullptr)
        std::memcpy(&plugin->setWindowTitle, &symbol, sizeof symbol);
    if ((symbol = dlsym(plugin->handle, QUENLIX_EDITOR_SCALE_ENTRY_POINT)) != nullptr)
        std::memcpy(&plugin->setEditorScale, &symbol, sizeof symbol);
    return std::make_unique<PluginSessionFactory>(std::move(plugin));
}

}  // namespace quenlix::cli

// A small LV2 host on lilv for the tests: loads the bundle from the build tree, instantiates a
// plug-in with urid:map and log (both can be left out), keeps a buffer for every port and runs it.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/log/log.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace lv2test {

constexpr const char* kUriBase = "urn:harbelwick:quenlix";
// The five plug-ins and their channel counts.
struct PluginCase {
    const char* uri;
    int channels;
};
const PluginCase kPlugins[] = {{"urn:harbelwick:quenlix:mono", 1},
                               {"urn:harbelwick:quenlix:stereo", 2},
                               {"urn:harbelwick:quenlix:4ch", 4},
                               {"urn:harbelwick:quenlix:5ch", 5},
                               {"urn:harbelwick:quenlix:6ch", 6}};

// urid:map and unmap over a list of URIs; ids start at 1.
class UridMap {
  public:
    UridMap() {
        mMap.handle = this;
        mMap.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->Map(uri); };
        mUnmap.handle = this;
        mUnmap.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID id) {
            return static_cast<UridMap*>(h)->Unmap(id);
        };
    }
    LV2_URID Map(const char* uri) {
        for (size_t i = 0; i < mUris.size(); ++i)
            if (mUris[i] == uri) return static_cast<LV2_URID>(i + 1);
        mUris.emplace_back(uri);
        return static_cast<LV2_URID>(mUris.size());
    }
    const char* Unmap(LV2_URID id) const {
        return id >= 1 && id <= mUris.size() ? mUris[id - 1].c_str() : nullptr;
    }
    LV2_URID_Map* MapFeature() { return &mMap; }
    LV2_URID_Unmap* UnmapFeature() { return &mUnmap; }

  private:
    std::vector<std::string> mUris;
    LV2_URID_Map mMap{};
    LV2_URID_Unmap mUnmap{};
};

// log:log that keeps every line.
class LogCapture {
  public:
    LogCapture() {
        mLog.handle = this;
        mLog.printf = &Printf;
        mLog.vprintf = [](LV2_Log_Handle h, LV2_URID, const char* fmt, va_list args) {
            char line[1024];
            const int n = std::vsnprintf(line, sizeof line, fmt, args);
            static_cast<LogCapture*>(h)->lines.emplace_back(line);
            return n;
        };
    }
    LV2_Log_Log* Feature() { return &mLog; }
    std::vector<std::string> lines;

  private:
    static int Printf(LV2_Log_Handle h, LV2_URID type, const char* fmt, ...) {
        va_list args;
        va_start(args, fmt);
        const int n = static_cast<LogCapture*>(h)->mLog.vprintf(h, type, fmt, args);
        va_end(args);
        return n;
    }

    LV2_Log_Log mLog{};
};

// The bundle loaded into a lilv world of its own.
class Bundle {
  public:
    Bundle() : mWorld(lilv_world_new()) {
        LilvNode* bundle = lilv_new_file_uri(mWorld, nullptr, QUENLIX_LV2_BUNDLE "/");
        lilv_world_load_bundle(mWorld, bundle);
        lilv_node_free(bundle);
    }
    ~Bundle() { lilv_world_free(mWorld); }
    Bundle(const Bundle&) = delete;
    Bundle& operator=(const Bundle&) = delete;

    const LilvPlugin* Plugin(const char* uri) const {
        LilvNode* node = lilv_new_uri(mWorld, uri);
        const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), node);
        lilv_node_free(node);
        return p;
    }
    LilvWorld* World() const { return mWorld; }

  private:
    LilvWorld* mWorld;
};

// One running instance with a buffer for every port. Control ports start at their defaults; the
// transport port holds an empty sequence until SendPosition.
class Instance {
  public:
    struct Options {
        bool withMap = true;
        bool withLog = true;
    };

    Instance(const Bundle& bundle, const char* uri, double rate, Options options)
        : Instance(bundle, uri, rate, options, 0) {}
    Instance(const Bundle& bundle, const char* uri, double rate)
        : Instance(bundle, uri, rate, Options{}, 0) {}
    ~Instance() {
        if (mInstance) {
            lilv_instance_deactivate(mInstance);
            lilv_instance_free(mInstance);
        }
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool Ok() const { return mInstance != nullptr; }
    LilvInstance* Raw() const { return mInstance; }
    const LilvPlugin* Plugin() const { return mPlugin; }
    int Channels() const { return static_cast<int>(mAudioIn.size()); }

    int Port(const char* symbol) const {
        LilvNode* sym = lilv_new_string(mWorld, symbol);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(mPlugin, sym);
        lilv_node_free(sym);
        return port ? static_cast<int>(lilv_port_get_index(mPlugin, port)) : -1;
    }
    float& Control(const char* symbol) { return mControls.at(static_cast<size_t>(Port(symbol))); }

    // Runs nFrames of the input buffers (channel-major) into the output buffers.
    void Run(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>* out, size_t offset,
             uint32_t nFrames) {
        for (size_t c = 0; c < mAudioIn.size(); ++c)
            lilv_instance_connect_port(mInstance, mAudioIn[c], const_cast<float*>(in[c].data()) + offset);
        for (size_t c = 0; c < mAudioOut.size(); ++c)
            lilv_instance_connect_port(mInstance, mAudioOut[c], (*out)[c].data() + offset);
        lilv_instance_run(mInstance, nFrames);
        ClearSequence();
    }
    // Runs a whole signal in blocks of the given sizes, cycled.
    std::vector<std::vector<float>> RunAll(const std::vector<std::vector<float>>& in,
                                           const std::vector<uint32_t>& blocks) {
        std::vector<std::vector<float>> out(in.size(), std::vector<float>(in[0].size(), -7.0f));
        size_t done = 0;
        for (size_t b = 0; done < in[0].size(); ++b) {
            const uint32_t n =
                static_cast<uint32_t>(std::min<size_t>(blocks[b % blocks.size()], in[0].size() - done));
            Run(in, &out, done, n);
            done += n;
        }
        return out;
    }

    // Puts a time:Position with this speed at frame 0 of the next run.
    void SendPosition(float speed) {
        lv2_atom_forge_set_buffer(&mForge, reinterpret_cast<uint8_t*>(mSequence.data()),
                                  mSequence.size() * sizeof(uint64_t));
        LV2_Atom_Forge_Frame seqFrame, objFrame;
        lv2_atom_forge_sequence_head(&mForge, &seqFrame, 0);
        lv2_atom_forge_frame_time(&mForge, 0);
        lv2_atom_forge_object(&mForge, &objFrame, 0, mMap.Map(LV2_TIME__Position));
        lv2_atom_forge_key(&mForge, mMap.Map(LV2_TIME__speed));
        lv2_atom_forge_float(&mForge, speed);
        lv2_atom_forge_key(&mForge, mMap.Map(LV2_TIME__frame));
        lv2_atom_forge_long(&mForge, 0);
        lv2_atom_forge_pop(&mForge, &objFrame);
        lv2_atom_forge_pop(&mForge, &seqFrame);
    }

    const LV2_State_Interface* State() const {
        return static_cast<const LV2_State_Interface*>(
            lilv_instance_get_extension_data(mInstance, LV2_STATE__interface));
    }

    UridMap mMap;
    LogCapture mLog;

  private:
    Instance(const Bundle& bundle, const char* uri, double rate, Options options, int)
        : mWorld(bundle.World()), mPlugin(bundle.Plugin(uri)) {
        if (!mPlugin) return;
        mFeatureMap = {LV2_URID__map, mMap.MapFeature()};
        mFeatureLog = {LV2_LOG__log, mLog.Feature()};
        if (options.withMap) mFeatures.push_back(&mFeatureMap);
        if (options.withLog) mFeatures.push_back(&mFeatureLog);
        mFeatures.push_back(nullptr);
        lv2_atom_forge_init(&mForge, mMap.MapFeature());
        mInstance = lilv_plugin_instantiate(mPlugin, rate, mFeatures.data());
        if (!mInstance) return;
        const uint32_t nPorts = lilv_plugin_get_num_ports(mPlugin);
        mControls.assign(nPorts, 0.0f);
        mSequence.assign(512, 0);
        ClearSequence();
        LilvNode* audio = lilv_new_uri(mWorld, LILV_URI_AUDIO_PORT);
        LilvNode* control = lilv_new_uri(mWorld, LILV_URI_CONTROL_PORT);
        LilvNode* input = lilv_new_uri(mWorld, LILV_URI_INPUT_PORT);
        LilvNode* atom = lilv_new_uri(mWorld, LILV_URI_ATOM_PORT);
        for (uint32_t i = 0; i < nPorts; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(mPlugin, i);
            if (lilv_port_is_a(mPlugin, port, control)) {
                LilvNode* def = nullptr;
                lilv_port_get_range(mPlugin, port, &def, nullptr, nullptr);
                mControls[i] = def ? lilv_node_as_float(def) : 0.0f;
                lilv_node_free(def);
                lilv_instance_connect_port(mInstance, i, &mControls[i]);
            } else if (lilv_port_is_a(mPlugin, port, audio)) {
                (lilv_port_is_a(mPlugin, port, input) ? mAudioIn : mAudioOut).push_back(i);
            } else if (lilv_port_is_a(mPlugin, port, atom)) {
                lilv_instance_connect_port(mInstance, i, mSequence.data());
            }
        }
        lilv_node_free(audio);
        lilv_node_free(control);
        lilv_node_free(input);
        lilv_node_free(atom);
        lilv_instance_activate(mInstance);
    }

    void ClearSequence() {
        auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(mSequence.data());
        seq->atom.type = mMap.Map(LV2_ATOM__Sequence);
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
        seq->body.unit = 0;
        seq->body.pad = 0;
    }

    LilvWorld* mWorld;
    const LilvPlugin* mPlugin;
    LilvInstance* mInstance = nullptr;
    LV2_Feature mFeatureMap{}, mFeatureLog{};
    std::vector<const LV2_Feature*> mFeatures;
    std::vector<float> mControls;
    std::vector<uint64_t> mSequence;  // 8-byte aligned atom buffer
    std::vector<uint32_t> mAudioIn, mAudioOut;
    LV2_Atom_Forge mForge{};
};

}  // namespace lv2test

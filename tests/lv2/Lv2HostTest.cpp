// The LV2 plug-ins driven through lilv as a host drives them: discovery from the build tree, audio,
// control outputs against the command-line host, state, transport, bypass, reset and activation.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "plugin/Quenlix.h"
#include "tests/cli/RunProgram.h"
#include "tests/lv2/Lv2TestHost.h"

using namespace lv2test;

namespace {

constexpr double kRate = 48000.0;

// `channels` channels of a 1 kHz sine whose amplitude is 10^(dbfs / 20).
std::vector<std::vector<float>> Sine(int channels, double dbfs, double seconds, double rate = kRate) {
    const size_t n = static_cast<size_t>(seconds * rate);
    const double a = std::pow(10.0, dbfs / 20.0);
    std::vector<std::vector<float>> s(static_cast<size_t>(channels), std::vector<float>(n));
    for (size_t i = 0; i < n; ++i) {
        const float v = static_cast<float>(a * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / rate));
        for (auto& c : s) c[i] = v;
    }
    return s;
}

// Bytes a state interface stored, by key.
struct StoredState {
    struct Value {
        std::vector<uint8_t> bytes;
        uint32_t type = 0;
    };
    std::map<LV2_URID, Value> values;

    static LV2_State_Status Store(LV2_State_Handle h, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t) {
        auto* s = static_cast<StoredState*>(h);
        const auto* b = static_cast<const uint8_t*>(value);
        s->values[key] = {std::vector<uint8_t>(b, b + size), type};
        return LV2_STATE_SUCCESS;
    }
    static const void* Retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto* s = static_cast<StoredState*>(h);
        auto it = s->values.find(key);
        if (it == s->values.end()) return nullptr;
        *size = it->second.bytes.size();
        *type = it->second.type;
        *flags = LV2_STATE_IS_POD;
        return it->second.bytes.data();
    }
};

StoredState Save(Instance& inst) {
    StoredState s;
    EXPECT_EQ(inst.State()->save(inst.Raw()->lv2_handle, StoredState::Store, &s, 0, nullptr),
              LV2_STATE_SUCCESS);
    return s;
}

class Lv2Host : public ::testing::Test {
  protected:
    Bundle bundle;
};

}  // namespace

TEST_F(Lv2Host, EveryPluginPassesAudioBitForBitAtEveryRateAndBlockLength) {
    const std::vector<std::vector<uint32_t>> blockPatterns = {
        {1}, {64}, {4096}, {1, 7, 4096, 513, 64, 3000, 2}};
    for (const PluginCase& pc : kPlugins) {
        for (double rate : {44100.0, 48000.0, 96000.0}) {
            Instance inst(bundle, pc.uri, rate);
            ASSERT_TRUE(inst.Ok()) << pc.uri;
            ASSERT_EQ(inst.Channels(), pc.channels);
            inst.Control("type") = rate == 48000.0 ? 1.0f : 0.0f;
            // Full-scale, tiny, denormal and signed-zero samples all come back unchanged.
            std::vector<std::vector<float>> in(static_cast<size_t>(pc.channels), std::vector<float>(9000));
            for (int c = 0; c < pc.channels; ++c)
                for (size_t i = 0; i < 9000; ++i)
                    in[c][i] = i % 97 == 0   ? 1e-40f
                               : i % 89 == 0 ? -0.0f
                                             : static_cast<float>(std::sin(0.01 * i * (c + 1)));
            for (const auto& blocks : blockPatterns) {
                const auto out = inst.RunAll(in, blocks);
                for (int c = 0; c < pc.channels; ++c)
                    ASSERT_EQ(std::memcmp(out[c].data(), in[c].data(), in[c].size() * sizeof(float)), 0)
                        << pc.uri << " at " << rate << " Hz, channel " << c << ", first block " << blocks[0];
            }
        }
    }
}

TEST_F(Lv2Host, AMinus23LufsStereoSineReadsMinus23) {
    Instance inst(bundle, "urn:harbelwick:quenlix:stereo", kRate);
    ASSERT_TRUE(inst.Ok());
    inst.Control("type") = 1.0f;
    inst.RunAll(Sine(2, -23.0, 5.0), {512});
    EXPECT_EQ(inst.Control("out_ebu_il"), -23.0f);
}

// The LV2 module and the command-line host run the same engine: the published numbers are identical.
TEST_F(Lv2Host, ControlOutputsEqualTheCommandsPublishedOutputs) {
    quenlix::cli::test::ScratchDir dir;
    const std::string wav = dir.file("programme.wav");
    // Two tones and a pause, long enough for gated and short-term values.
    const int frames = static_cast<int>(7 * kRate);
    auto sample = [](std::int64_t i, int c) {
        const double t = static_cast<double>(i) / kRate;
        const double level = t < 3.0 ? 0.2 : t < 4.0 ? 0.0 : 0.6;
        return level * std::sin(2.0 * M_PI * (c == 0 ? 440.0 : 1500.0) * t);
    };
    ASSERT_TRUE(quenlix::cli::test::writeWav(wav, 2, static_cast<int>(kRate), frames, sample,
                                             SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    std::vector<std::vector<float>> in(2, std::vector<float>(frames));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c) in[c][i] = static_cast<float>(sample(i, c));

    for (const char* type : {"ebu", "rms"}) {
        auto run =
            quenlix::cli::test::runQuenlixProgram({"measure", "--json", "-q", "--type", type, wav}, dir);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const auto report = nlohmann::json::parse(run.out).at(0).at("outputs");

        Instance inst(bundle, "urn:harbelwick:quenlix:stereo", kRate);
        ASSERT_TRUE(inst.Ok());
        inst.Control("type") = std::strcmp(type, "ebu") == 0 ? 1.0f : 0.0f;
        inst.RunAll(in, {512});
        int compared = 0;
        for (const auto& [name, value] : report.items()) {
            std::string symbol = "out_";
            for (char ch : name.substr(4)) symbol += ch == ' ' ? '_' : static_cast<char>(std::tolower(ch));
            EXPECT_EQ(inst.Control(symbol.c_str()), static_cast<float>(value.get<double>()))
                << type << " " << name;
            ++compared;
        }
        EXPECT_EQ(compared, 13) << type;
    }
}

TEST_F(Lv2Host, StateSavedFromOneInstanceReproducesTheSettingsInAnother) {
    Instance a(bundle, "urn:harbelwick:quenlix:stereo", kRate);
    ASSERT_TRUE(a.Ok());
    a.Control("type") = 1.0f;
    a.Control("sync") = 1.0f;
    a.Control("rms_channel_config") = 3.0f;
    a.Control("rms_meter_mode") = 1.0f;
    a.Control("rms_window") = 700.0f;
    a.Control("ebu_channel_config") = 2.0f;
    a.RunAll(Sine(2, -20.0, 0.2), {256});
    StoredState saved = Save(a);

    // Through lilv's own state, as a host saves and restores a session.
    LilvState* state = lilv_state_new_from_instance(
        a.Plugin(), a.Raw(), a.mMap.MapFeature(), nullptr, nullptr, nullptr, nullptr,
        [](const char*, void*, uint32_t* size, uint32_t* type) -> const void* {
            *size = 0;
            *type = 0;
            return nullptr;
        },
        nullptr, LV2_STATE_IS_POD, nullptr);
    ASSERT_NE(state, nullptr);

    Instance b(bundle, "urn:harbelwick:quenlix:stereo", kRate);
    ASSERT_TRUE(b.Ok());
    b.RunAll(Sine(2, -20.0, 0.01), {256});  // b has seen its ports' defaults
    lilv_state_restore(state, b.Raw(), nullptr, nullptr, 0, nullptr);
    lilv_state_free(state);
    // The ports still hold their defaults: unchanged ports must not undo the restored settings.
    b.RunAll(Sine(2, -20.0, 0.01), {256});
    StoredState restored = Save(b);
    ASSERT_EQ(saved.values.size(), restored.values.size());
    const LV2_URID params = b.mMap.Map((std::string(kUriBase) + ":state#params").c_str());
    const auto& pa = saved.values.at(a.mMap.Map((std::string(kUriBase) + ":state#params").c_str())).bytes;
    const auto& pb = restored.values.at(params).bytes;
    ASSERT_EQ(pa.size(), 19 * sizeof(double));
    ASSERT_EQ(pb.size(), pa.size());
    // Settings (parameters 0 .. 4 and 11) equal; the outputs are measured anew by b.
    for (int i : {0, 1, 2, 3, 4, 11})
        EXPECT_EQ(std::memcmp(pa.data() + i * 8, pb.data() + i * 8, 8), 0) << "parameter " << i;
}

TEST_F(Lv2Host, DamagedStatesAreRefusedWithoutChangeAndLogged) {
    struct Damage {
        const char* name;
        void (*apply)(StoredState&, LV2_URID version, LV2_URID params, UridMap&);
    };
    const Damage damages[] = {
        {"no parameters", [](StoredState& s, LV2_URID, LV2_URID p, UridMap&) { s.values.erase(p); }},
        {"no version", [](StoredState& s, LV2_URID v, LV2_URID, UridMap&) { s.values.erase(v); }},
        {"short", [](StoredState& s, LV2_URID, LV2_URID p, UridMap&) { s.values[p].bytes.resize(16); }},
        {"long", [](StoredState& s, LV2_URID, LV2_URID p, UridMap&) { s.values[p].bytes.resize(20 * 8); }},
        {"wrong type", [](StoredState& s, LV2_URID, LV2_URID p,
                          UridMap& m) { s.values[p].type = m.Map(LV2_ATOM__String); }},
        {"other major version",
         [](StoredState& s, LV2_URID v, LV2_URID, UridMap&) {
             const int32_t two = 2 << 16;
             std::memcpy(s.values[v].bytes.data(), &two, 4);
         }},
        {"NaN value",
         [](StoredState& s, LV2_URID, LV2_URID p, UridMap&) {
             const double nan = std::nan("");
             std::memcpy(s.values[p].bytes.data() + 4 * 8, &nan, 8);
         }},
        {"value out of range",
         [](StoredState& s, LV2_URID, LV2_URID p, UridMap&) {
             const double big = 1e9;
             std::memcpy(s.values[p].bytes.data() + 0 * 8, &big, 8);
         }},
    };
    for (const Damage& d : damages) {
        Instance donor(bundle, "urn:harbelwick:quenlix:stereo", kRate);
        donor.Control("type") = 1.0f;
        donor.Control("rms_window") = 900.0f;
        donor.RunAll(Sine(2, -20.0, 0.01), {256});
        StoredState state = Save(donor);

        Instance target(bundle, "urn:harbelwick:quenlix:stereo", kRate);
        ASSERT_TRUE(target.Ok());
        target.RunAll(Sine(2, -20.0, 0.01), {256});
        const StoredState before = Save(target);
        const LV2_URID version = target.mMap.Map((std::string(kUriBase) + ":state#version").c_str());
        const LV2_URID params = target.mMap.Map((std::string(kUriBase) + ":state#params").c_str());
        d.apply(state, version, params, target.mMap);
        target.mLog.lines.clear();
        EXPECT_NE(
            target.State()->restore(target.Raw()->lv2_handle, StoredState::Retrieve, &state, 0, nullptr),
            LV2_STATE_SUCCESS)
            << d.name;
        EXPECT_EQ(target.mLog.lines.size(), 1u) << d.name;
        const StoredState after = Save(target);
        EXPECT_EQ(after.values.at(params).bytes, before.values.at(params).bytes) << d.name;
    }
}

TEST_F(Lv2Host, TransportStoppedFreezesTheIntegratedLoudnessWhileSyncIsOn) {
    Instance inst(bundle, "urn:harbelwick:quenlix:stereo", kRate);
    ASSERT_TRUE(inst.Ok());
    inst.Control("type") = 1.0f;
    inst.Control("sync") = 1.0f;
    inst.SendPosition(1.0f);
    inst.RunAll(Sine(2, -23.0, 4.0), {512});
    const float rolling = inst.Control("out_ebu_il");
    EXPECT_EQ(rolling, -23.0f);

    inst.SendPosition(0.0f);  // stopped: a much louder signal must not move the integrated value
    inst.RunAll(Sine(2, -10.0, 3.0), {512});
    EXPECT_EQ(inst.Control("out_ebu_il"), rolling);
    EXPECT_GT(inst.Control("out_ebu_ml"), -11.0f);  // momentary loudness keeps measuring

    inst.SendPosition(1.0f);
    inst.RunAll(Sine(2, -10.0, 3.0), {512});
    EXPECT_GT(inst.Control("out_ebu_il"), rolling);
}

// Bypass, the reset trigger and reactivation each keep or clear what they should.
TEST_F(Lv2Host, BypassResetAndReactivationClearOnlyWhatTheyShould) {
    struct Case {
        const char* name;
        void (*act)(Instance&);
        bool cleared;
    };
    const Case cases[] = {
        {"bypassed", [](Instance& i) { i.Control("enabled") = 0.0f; }, false},
        {"reset trigger", [](Instance& i) { i.Control("reset") = 1.0f; }, true},
        {"reactivated",
         [](Instance& i) {
             lilv_instance_deactivate(i.Raw());
             lilv_instance_activate(i.Raw());
         },
         false},
        {"reactivated with sync on",
         [](Instance& i) {
             i.Control("sync") = 1.0f;
             i.SendPosition(1.0f);
             i.RunAll(Sine(2, -20.0, 3.0), {512});
             lilv_instance_deactivate(i.Raw());
             lilv_instance_activate(i.Raw());
         },
         true},
        {"same value sent again", [](Instance& i) { i.Control("type") = 1.0f; }, false},
    };
    for (const Case& c : cases) {
        Instance inst(bundle, "urn:harbelwick:quenlix:stereo", kRate);
        ASSERT_TRUE(inst.Ok());
        inst.Control("type") = 1.0f;
        inst.RunAll(Sine(2, -20.0, 3.0), {512});
        ASSERT_GT(inst.Control("out_ebu_ml_max"), -21.0f) << c.name;
        c.act(inst);
        // Silence afterwards: a cleared maximum falls to the floor, a kept one stays.
        const auto silence = Sine(2, -200.0, 1.0);
        const auto out = inst.RunAll(silence, {512});
        if (std::strcmp(c.name, "reset trigger") == 0)
            inst.RunAll(silence, {512});  // held high: no second reset
        EXPECT_EQ(inst.Control("out_ebu_ml_max") == -60.0f, c.cleared) << c.name;
        EXPECT_EQ(out[1], silence[1]) << c.name;
    }
}

TEST_F(Lv2Host, AHostWithoutUridMapOrLogStillRuns) {
    Instance inst(bundle, "urn:harbelwick:quenlix:mono", kRate, Instance::Options{false, false});
    ASSERT_TRUE(inst.Ok());
    inst.Control("type") = 1.0f;
    inst.Control("sync") = 1.0f;  // no transport without urid:map: stopped
    const auto in = Sine(1, -20.0, 1.0);
    EXPECT_EQ(inst.RunAll(in, {4096}), in);
    EXPECT_EQ(inst.Control("out_ebu_il"), -60.0f);
    EXPECT_GT(inst.Control("out_ebu_ml"), -25.0f);
}

// Each plug-in measures all of its channels until told otherwise: the host starts the ports at the
// defaults the description states for that width, and the instance measures as if the host had chosen
// those settings; a state that states other settings wins over them.
TEST_F(Lv2Host, EachPluginMeasuresAllItsChannelsByDefault) {
    struct Width {
        const char* uri;
        int channels;
        float rmsConfig, ebuConfig;  // the settings a file of this width is measured with
    };
    const Width widths[] = {{"urn:harbelwick:quenlix:mono", 1, 1.0f, 0.0f},
                            {"urn:harbelwick:quenlix:stereo", 2, 0.0f, 0.0f},
                            {"urn:harbelwick:quenlix:4ch", 4, 3.0f, 1.0f},
                            {"urn:harbelwick:quenlix:5ch", 5, 4.0f, 2.0f},
                            {"urn:harbelwick:quenlix:6ch", 6, 4.0f, 3.0f}};
    for (const Width& w : widths) {
        SCOPED_TRACE(w.uri);
        // Each channel 4 dB below the one before: every choice of channels reads its own level.
        auto programme = Sine(w.channels, -20.0, 5.0);
        for (int c = 1; c < w.channels; ++c)
            for (float& v : programme[c]) v *= static_cast<float>(std::pow(10.0, -4.0 * c / 20.0));
        for (const char* type : {"ebu", "rms"}) {
            Instance byDefault(bundle, w.uri, kRate);
            Instance chosen(bundle, w.uri, kRate);
            ASSERT_TRUE(byDefault.Ok() && chosen.Ok());
            EXPECT_EQ(byDefault.Control("rms_channel_config"), w.rmsConfig);
            EXPECT_EQ(byDefault.Control("ebu_channel_config"), w.ebuConfig);
            chosen.Control("rms_channel_config") = w.rmsConfig;
            chosen.Control("ebu_channel_config") = w.ebuConfig;
            const bool ebu = std::strcmp(type, "ebu") == 0;
            for (Instance* inst : {&byDefault, &chosen}) {
                inst->Control("type") = ebu ? 1.0f : 0.0f;
                inst->RunAll(programme, {512});
            }
            const char* il = ebu ? "out_ebu_il" : "out_rms_il";
            EXPECT_GT(chosen.Control(il), -60.0f) << type;
            EXPECT_EQ(byDefault.Control(il), chosen.Control(il)) << type;
        }
    }

    // Six channels of a -23 dBFS sine: the 5.1 loudness, not that of channels 1 and 2 (-23.0).
    Instance six(bundle, "urn:harbelwick:quenlix:6ch", kRate);
    ASSERT_TRUE(six.Ok());
    six.Control("type") = 1.0f;
    six.RunAll(Sine(6, -23.0, 5.0), {512});
    EXPECT_NEAR(six.Control("out_ebu_il"), -18.4f, 0.05f);

    // A state saved with "2.0 Stereo" restores "2.0 Stereo" on the six-channel plug-in.
    Instance donor(bundle, "urn:harbelwick:quenlix:6ch", kRate);
    ASSERT_TRUE(donor.Ok());
    donor.Control("ebu_channel_config") = 0.0f;
    donor.Control("rms_channel_config") = 0.0f;
    donor.RunAll(Sine(6, -23.0, 0.01), {256});
    StoredState state = Save(donor);
    Instance restored(bundle, "urn:harbelwick:quenlix:6ch", kRate);
    ASSERT_TRUE(restored.Ok());
    restored.RunAll(Sine(6, -23.0, 0.01), {256});  // it has seen its ports' defaults
    ASSERT_EQ(
        restored.State()->restore(restored.Raw()->lv2_handle, StoredState::Retrieve, &state, 0, nullptr),
        LV2_STATE_SUCCESS);
    restored.Control("type") = 1.0f;
    restored.RunAll(Sine(6, -23.0, 5.0), {512});
    EXPECT_EQ(restored.Control("out_ebu_il"), -23.0f);
}

// The reset trigger in the middle of a -23 dBFS 1 kHz sine restarts the measurements, not the audio:
// the true-peak maximum afterwards reads what the uninterrupted sine reads, wherever the reset falls
// (inside a 100 ms hop, on a hop, on a block edge).
TEST_F(Lv2Host, TheResetTriggerMidProgrammeKeepsTheTruePeakMaxTrue) {
    const auto sine = Sine(2, -23.0, 1.5);
    const uint32_t total = static_cast<uint32_t>(sine[0].size());
    auto truePeakMax = [&](long resetAt) {
        Instance inst(bundle, "urn:harbelwick:quenlix:stereo", kRate);
        EXPECT_TRUE(inst.Ok());
        inst.Control("type") = 1.0f;
        std::vector<std::vector<float>> out(2, std::vector<float>(total));
        for (uint32_t done = 0; done < total;) {
            uint32_t n = std::min<uint32_t>(512, total - done);
            if (resetAt >= 0 && done < resetAt && resetAt < done + n)
                n = static_cast<uint32_t>(resetAt) - done;
            if (static_cast<long>(done) == resetAt) inst.Control("reset") = 1.0f;  // held high afterwards
            inst.Run(sine, &out, done, n);
            done += n;
        }
        return inst.Control("out_ebu_tp_max");
    };
    const float whole = truePeakMax(-1);
    EXPECT_NEAR(whole, -22.98f, 0.01f);
    for (long at : {1234L, 19200L, 24001L, 28802L, 30000L, 512L * 40, 512L * 41 + 1, 42624L, 42751L, 48037L})
        EXPECT_NEAR(truePeakMax(at), whole, 0.02f) << "reset at " << at;
}

// Below 8000 Hz the K-weighting's design lies past what the rate can carry (silence read +12 LUFS):
// such a rate is refused at instantiation with one line on the log, as the command line refuses it.
TEST_F(Lv2Host, RatesBelow8000HzAreRefusedWithOneLogLine) {
    for (double rate : {1000.0, 4000.0, 7999.0}) {
        Instance inst(bundle, "urn:harbelwick:quenlix:stereo", rate);
        EXPECT_FALSE(inst.Ok()) << rate;
        EXPECT_EQ(inst.mLog.lines.size(), 1u) << rate;
    }
    Instance inst(bundle, "urn:harbelwick:quenlix:stereo", 8000.0);
    ASSERT_TRUE(inst.Ok());
    EXPECT_TRUE(inst.mLog.lines.empty());
    inst.Control("type") = 1.0f;
    inst.RunAll(Sine(2, -200.0, 1.0, 8000.0), {512});
    EXPECT_EQ(inst.Control("out_ebu_ml"), -60.0f);
}

namespace {

// The LV2 plug-in whose own reading of a state fails.
class UnreadableState : public Quenlix {
  public:
    UnreadableState() : Quenlix(IPlugInstanceInfo()) {}
    int UnserializeState(ByteChunk* /*chunk*/, int /*startPos*/) override { return -1; }
};

}  // namespace

TEST_F(Lv2Host, AStateThePlugInCannotReadIsReportedAsAFailure) {
    UridMap map;
    LogCapture log;
    const LV2_Feature mapFeature{LV2_URID__map, map.MapFeature()};
    const LV2_Feature logFeature{LV2_LOG__log, log.Feature()};
    const LV2_Feature* features[] = {&mapFeature, &logFeature, nullptr};
    UnreadableState plug;
    ASSERT_TRUE(plug.Instantiate(2, 2, kRate, "", features));
    StoredState state;
    ASSERT_EQ(plug.SaveState(StoredState::Store, &state), LV2_STATE_SUCCESS);
    log.lines.clear();
    EXPECT_NE(plug.RestoreState(StoredState::Retrieve, &state), LV2_STATE_SUCCESS);
    EXPECT_EQ(log.lines.size(), 1u);
}

// The Quenlix plug-in under a host that does anything in any order: parameter changes through host
// controls (any control value), in the control's units and from the editor (any number, NaN and
// infinities included), factory presets, resets and reset commands, clicks on the editor, sample-rate
// changes (any double), transport and bypass switches, the editor window opened, drawn and closed,
// interleaved with audio blocks of arbitrary floats (NaN, infinities, subnormals, huge values) of 0
// frames up to well past the host's maximum.
//
// Input, read with FuzzedDataProvider: the channel configuration, the host's rate (44.1 or 48 kHz),
// then up to 96 operations. Each input starts from a fresh instance, so a finding replays on its own;
// QUENLIX_FUZZ_VERBOSE=1 prints the operations of a replay.
//
// After every block the audio must have passed through unchanged (NaN stays NaN), and after every
// operation every parameter, the thirteen published outputs included, must hold a number inside its
// range.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"
#include "editor/IGraphics.h"
#include "plugin/Quenlix.h"

namespace {

constexpr int kMaxQuantum = 1024;
constexpr int kMaxFrames = 4 * kMaxQuantum + 17;  // blocks run up to here, well past the maximum
constexpr int kMaxOperations = 96;
// Most engine resets one input may cause, in resets at 48 kHz. A reset clears rings whose length
// follows the rate (up to 64 MiB each above 2.7 MHz), and every setting change and each of a preset's
// six settings resets both engines: without a bound, a few presets at an absurd rate take minutes
// under the sanitizers.
constexpr double kResetBudget = 400.0;
const int kChannelChoices[] = {1, 2, 4, 5, 6};

struct Buffers {
    Buffers() {
        for (int c = 0; c < 6; ++c) {
            in[c].assign(kMaxFrames, 0.0f);
            out[c].assign(kMaxFrames, 0.0f);
            inPtrs[c] = in[c].data();
            outPtrs[c] = out[c].data();
        }
    }
    std::vector<float> in[6], out[6];
    float* inPtrs[6];
    float* outPtrs[6];
};

bool SameSample(float a, float b) {
    if (std::isnan(a)) return std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

double SpecialDouble(FuzzedDataProvider& fdp) {
    static const double kValues[] = {0.0,          -0.0,     0.5,       1.0,          -1.0,
                                     2.0,          1e-300,   5e-324,    1e300,        -1e300,
                                     NAN,          INFINITY, -INFINITY, 2147483648.0, -2147483649.0,
                                     0.4999999999, 10.0,     3000.0,    3000.5,       9.999e-08};
    if (fdp.ConsumeBool()) return kValues[fdp.ConsumeIntegralInRange<size_t>(0, std::size(kValues) - 1)];
    return fdp.ConsumeFloatingPoint<double>();
}

double SampleRate(FuzzedDataProvider& fdp) {
    static const double kRates[] = {44100.0,  48000.0, 88200.0, 96000.0, 192000.0, 384000.0, 8000.0,
                                    22050.0,  1.0,     0.5,     1e-300,  0.0,      -48000.0, NAN,
                                    INFINITY, 39.9,    40.0,    2.7e6,   1e9,      1e300};
    if (fdp.ConsumeBool()) return kRates[fdp.ConsumeIntegralInRange<size_t>(0, std::size(kRates) - 1)];
    // Any rate up to 1 MHz; the table brings the absurd ones (each costs rings of 64 MiB to clear).
    return fdp.ConsumeFloatingPointInRange(-1000.0, 1e6);
}

// Fills nFrames frames of every channel in one of four ways.
void FillBlock(FuzzedDataProvider& fdp, Buffers& b, int channels, int nFrames) {
    const int mode = fdp.ConsumeIntegralInRange(0, 3);
    if (mode == 0) {  // every sample from the table of special values, picked by the input's bytes
        std::vector<uint8_t> codes = fdp.ConsumeBytes<uint8_t>(static_cast<size_t>(channels) * 64);
        if (codes.empty()) codes.push_back(0);
        size_t k = 0;
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < nFrames; ++i) b.in[c][i] = fuzz::SpecialSample(codes[k++ % codes.size()]);
    } else if (mode == 1) {  // raw float bits from the input, repeated
        std::vector<uint8_t> bytes = fdp.ConsumeBytes<uint8_t>(static_cast<size_t>(channels) * 4 * 32);
        while (bytes.size() % 4 != 0 || bytes.empty()) bytes.push_back(0);
        const size_t nFloats = bytes.size() / 4;
        size_t k = 0;
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < nFrames; ++i) std::memcpy(&b.in[c][i], bytes.data() + 4 * (k++ % nFloats), 4);
    } else if (mode == 2) {  // one special value everywhere (a constant, a long run of NaN, ...)
        const float v = fuzz::SpecialSample(fdp.ConsumeIntegral<uint8_t>());
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < nFrames; ++i) b.in[c][i] = v;
    } else {  // a tone with a special amplitude and any frequency
        const float amplitude = fuzz::SpecialSample(fdp.ConsumeIntegral<uint8_t>());
        const double w = fdp.ConsumeFloatingPointInRange(0.0, 3.2);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < nFrames; ++i)
                b.in[c][i] = amplitude * static_cast<float>(std::sin(w * i + c));
    }
}

// Cost of one engine reset at the plug-in's current rate, in resets at 48 kHz.
double ResetCost(const IPlugBase& plug) {
    const double rate = plug.GetSampleRate();
    if (!(rate > 48000.0)) return 1.0;
    return std::isfinite(rate) ? std::min(rate, 2.8e6) / 48000.0 : 1.0;
}

// With QUENLIX_FUZZ_VERBOSE set, every operation is printed: for reading a finding's replay.
bool Verbose() {
    static const bool verbose = std::getenv("QUENLIX_FUZZ_VERBOSE") != nullptr;
    return verbose;
}
#define FUZZ_LOG(...)                                     \
    do {                                                  \
        if (Verbose()) std::fprintf(stderr, __VA_ARGS__); \
    } while (0)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Buffers* buffers = new Buffers;
    Buffers& b = *buffers;
    FuzzedDataProvider fdp(data, size);

    const int channels =
        kChannelChoices[fdp.ConsumeIntegralInRange<size_t>(0, std::size(kChannelChoices) - 1)];
    rtashost::InstanceConfig config;
    config.maxQuantum = kMaxQuantum;
    config.sampleRate = fdp.ConsumeBool() ? 48000.0 : 44100.0;
    auto instance = fuzz::MakeInstance(channels, config);
    auto* plug = dynamic_cast<Quenlix*>(fuzz::Plug(*instance));
    if (!plug) fuzz::Fail("the instance holds no Quenlix");
    const int nControls = instance->GetNumControls();
    FUZZ_LOG("instance: %d channels at %g Hz\n", channels, config.sampleRate);

    double spent = 0.0;
    for (int op = 0; op < kMaxOperations && fdp.remaining_bytes() > 0 && spent < kResetBudget; ++op) {
        const int kind = fdp.ConsumeIntegralInRange(0, 12);
        if (kind >= 3 && kind <= 10) spent += (kind == 7 ? 6.0 : 1.0) * ResetCost(*plug);
        switch (kind) {
            case 0:
            case 1:
            case 2: {  // an audio block
                const int nFrames = fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange(0, kMaxQuantum)
                                                      : fdp.ConsumeIntegralInRange(0, kMaxFrames);
                FillBlock(fdp, b, channels, nFrames);
                FUZZ_LOG("block of %d frames, first sample %g\n", nFrames, nFrames > 0 ? b.in[0][0] : 0.0);
                instance->Render(b.inPtrs, b.outPtrs, nFrames);
                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < nFrames; ++i)
                        if (!SameSample(b.in[c][i], b.out[c][i]))
                            fuzz::Fail("audio changed on its way through", c, i);
                break;
            }
            case 3: {  // the host sets a control to any control value (the bypass and invalid indices too)
                const int idx = fdp.ConsumeIntegralInRange(-1, nControls + 1);
                const int32_t v = fdp.ConsumeIntegral<int32_t>();
                FUZZ_LOG("control %d = %d\n", idx, v);
                instance->SetControlValue(idx, v);
                break;
            }
            case 4: {  // the host sets a control in its own units
                const int idx = fdp.ConsumeIntegralInRange(-1, nControls + 1);
                const double v = SpecialDouble(fdp);
                FUZZ_LOG("control %d = number %g\n", idx, v);
                instance->SetControlNumber(idx, v);
                break;
            }
            case 5: {  // the editor sets a parameter from a normalised value
                const int idx = fdp.ConsumeIntegralInRange(-2, Quenlix::kNumParams + 1);
                const double v = SpecialDouble(fdp);
                FUZZ_LOG("editor sets parameter %d = normalised %g\n", idx, v);
                plug->SetParameterFromGUI(idx, v);
                break;
            }
            case 6: {  // a stored value and the reaction to it, as a restore does, for any index
                const int idx = fdp.ConsumeIntegralInRange(-2, 30);
                const double v = SpecialDouble(fdp);
                FUZZ_LOG("parameter %d stored as %g, then its reaction\n", idx, v);
                WDL_MutexLock lock(plug->GetMutex());
                if (IParam* p = plug->GetParam(idx)) p->Set(v);
                plug->OnParamChange(idx);
                break;
            }
            case 7: {  // a factory preset (or a slot that does not exist)
                const int idx = fdp.ConsumeIntegralInRange(-1, plug->NPresets());
                FUZZ_LOG("preset %d\n", idx);
                if (const IPresetEntry* preset = plug->GetPreset(idx)) {
                    ByteChunk values;
                    values.PutChunk(&preset->mChunk);
                    plug->UnserializeParams(&values, 0);
                    plug->InformHostOfProgramChange();
                }
                break;
            }
            case 8:  // the host resets processing
                FUZZ_LOG("reset\n");
                plug->Reset();
                break;
            case 9: {  // a click on the editor: LED meters send their reset commands from inside the press
                IGraphics* editor = plug->GetEditor();
                IMouseMod mod(true);
                const int x = fdp.ConsumeIntegralInRange(-10, 630);
                const int y = fdp.ConsumeIntegralInRange(-10, 330);
                FUZZ_LOG("click at %d, %d\n", x, y);
                editor->OnMouseDown(x, y, &mod);
                if (fdp.ConsumeBool()) plug->OnParamChange(fdp.ConsumeIntegralInRange(19, 28));
                editor->OnMouseUp(x, y, &mod);
                break;
            }
            case 10: {  // the sample rate changes, as the host's initialisation path tells it
                const double rate = SampleRate(fdp);
                FUZZ_LOG("sample rate %g\n", rate);
                plug->SetSampleRate(rate);
                plug->Reset();
                break;
            }
            case 11: {  // transport and bypass
                const bool transport = fdp.ConsumeBool();
                const bool on = fdp.ConsumeBool();
                FUZZ_LOG("%s %s\n", transport ? "transport" : "bypass", on ? "on" : "off");
                if (transport)
                    instance->GetTransport().SetPlaying(on);
                else
                    instance->SetBypass(on);
                break;
            }
            case 12: {  // the editor window: opened, drawn on the host's tick (what the meters show), closed
                const int what = fdp.ConsumeIntegralInRange(0, 3);
                FUZZ_LOG("view %s\n", what == 0 ? "close" : "open or tick");
                if (what == 0)
                    instance->CloseView();
                else if (!instance->IsViewOpen())
                    instance->OpenView();
                else
                    instance->TickView();
                break;
            }
        }
        fuzz::CheckParams(*plug);
    }
    fuzz::CheckStateRoundTrip(*plug);
    return 0;
}

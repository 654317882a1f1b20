#pragma once

// Shared pieces of the fuzz targets: a Quenlix instance behind the host format's host side (as the
// Pro Tools side and the command-line host drive it), the checks every target repeats after an
// outside input was taken, and a fatal report for a broken promise.
//
// Everything here runs on the fuzzer's one thread, which plays both the host's main thread and
// its audio thread.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/IPlugBase.h"
#include "host/rtas/IPlugGroup.h"
#include "host/rtas/IPlugProcess.h"
#include "host/rtas/IPlugRTAS.h"
#include "host/rtas/format/HostModule.h"
#include "host/rtas/module/QuenlixGroupInfo.h"
#include "plugin/QuenlixIdentity.h"

namespace fuzz {

// A broken promise of the code under test: printed and made fatal, so libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, int index = -1, double value = 0.0) {
    std::fprintf(stderr, "fuzz invariant broken: %s (index %d, value %.17g)\n", what, index, value);
    std::abort();
}

constexpr OSType kQuenlixChunkID = quenlix::kUniqueID;

// The Quenlix group linked in (not loaded), created once for the whole run.
inline std::shared_ptr<rtashost::Module> QuenlixModule() {
    static std::shared_ptr<rtashost::Module> module =
        rtashost::Module::FromGroup(new IPlugGroup(QuenlixGroupInfo()));
    if (!module) Fail("the Quenlix group could not be created");
    return module;
}

// A created and initialised instance with `channels` in and out.
inline std::unique_ptr<rtashost::Instance> MakeInstance(int channels,
                                                        const rtashost::InstanceConfig& config) {
    auto module = QuenlixModule();
    std::string error;
    auto instance =
        rtashost::Instance::Create(module, module->FindEffectType(channels, channels), config, &error);
    if (!instance) {
        std::fprintf(stderr, "%s\n", error.c_str());
        Fail("an instance could not be created", channels);
    }
    if (!instance->Initialize()) Fail("an instance could not be initialised", channels);
    return instance;
}

inline IPlugProcess* Process(const rtashost::Instance& instance) {
    return static_cast<IPlugProcess*>(instance.GetProcess());
}
inline IPlugRTAS* Plug(const rtashost::Instance& instance) {
    return Process(instance)->GetPlug();
}

// Every parameter holds a number inside its own range, whatever came in.
inline void CheckParams(IPlugBase& plug) {
    for (int i = 0; i < plug.NParams(); ++i) {
        const IParam* p = plug.GetParam(i);
        const double v = p->Value();
        if (!std::isfinite(v)) Fail("parameter value is not a number", i, v);
        if (v < p->GetMin() || v > p->GetMax()) Fail("parameter value outside its range", i, v);
    }
}

// The saved state is the current state: what SerializeParams writes compares equal with
// CompareState, and has one double per parameter.
inline void CheckStateRoundTrip(IPlugBase& plug) {
    ByteChunk saved;
    if (!plug.SerializeParams(&saved)) Fail("SerializeParams failed");
    if (saved.Size() != 8 * plug.NParams()) Fail("saved state has the wrong size", saved.Size());
    if (!plug.CompareState(saved.GetBytes(), 0)) Fail("saved state does not compare equal to itself");
}

// Float samples that stress the measurement: non-numbers, infinities, subnormals, huge values.
inline float SpecialSample(unsigned char code) {
    static const float kValues[] = {0.0f,          -0.0f,          1.0f,     -1.0f,     0.5f,     1.41f,
                                    NAN,           -NAN,           INFINITY, -INFINITY, 1.4e-45f, -1.4e-45f,
                                    1.17e-38f,     5e-39f,  // subnormals and the smallest normal
                                    3.4028235e38f, -3.4028235e38f, 1e30f,    -1e20f,    1e-20f,   65536.0f};
    return kValues[code % (sizeof(kValues) / sizeof(kValues[0]))];
}

}  // namespace fuzz

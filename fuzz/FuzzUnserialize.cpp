// UnserializeParams on arbitrary bytes: a saved state as it may come back from a damaged or foreign
// project. The first byte picks the start position (0, a small offset, or any int from the next four
// bytes); the rest is the chunk.
//
// After the restore every parameter must hold a number inside its range, the return value must
// follow the state format (start + 8 per parameter, or -1 when the chunk ends early or the start lies
// outside it), the state must save and compare equal to itself, and a block of audio must run.

#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"

namespace {

struct Target {
    std::unique_ptr<rtashost::Instance> instance;
    ByteChunk defaults;  // the state right after creation: every input starts from it
    std::vector<float> in[2], out[2];
};

Target& Get() {
    static Target* target = [] {
        auto* t = new Target;
        rtashost::InstanceConfig config;
        // Every reaction clears the engines' rings, whose length follows the rate: the lowest rate
        // a host offers keeps the runs quick.
        config.sampleRate = 8000.0;
        t->instance = fuzz::MakeInstance(2, config);
        fuzz::Plug(*t->instance)->SerializeParams(&t->defaults);
        for (int c = 0; c < 2; ++c) {
            t->in[c].assign(1024, 0.0f);
            t->out[c].assign(1024, 0.0f);
            for (int i = 0; i < 1024; ++i)
                t->in[c][i] = 0.25f * static_cast<float>((i * (c + 3)) % 97 - 48) / 48.0f;
        }
        return t;
    }();
    return *target;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Target& t = Get();
    IPlugRTAS& plug = *fuzz::Plug(*t.instance);
    if (plug.UnserializeParams(&t.defaults, 0) != t.defaults.Size()) fuzz::Fail("defaults do not restore");

    int startPos = 0;
    size_t skip = 0;
    if (size > 0) {
        skip = 1;
        if (data[0] >= 0xC0 && size >= 5) {
            std::memcpy(&startPos, data + 1, sizeof(startPos));
            skip = 5;
        } else if (data[0] >= 0x80) {
            startPos = data[0] & 0x3F;
        }
    }
    ByteChunk chunk;
    const int n = static_cast<int>(size - skip);
    if (n > 0 && chunk.PutBytes(data + skip, n) != n) fuzz::Fail("chunk could not hold the input", n);

    const int pos = plug.UnserializeParams(&chunk, startPos);
    const long long end = static_cast<long long>(startPos) + 8LL * plug.NParams();
    const int expected = (startPos < 0 || startPos > n || end > n) ? -1 : static_cast<int>(end);
    if (pos != expected) fuzz::Fail("UnserializeParams returned an unexpected position", pos, expected);

    fuzz::CheckParams(plug);
    fuzz::CheckStateRoundTrip(plug);

    // The restored settings measure: one output refresh at 8 kHz is 400 frames.
    float* in[2] = {t.in[0].data(), t.in[1].data()};
    float* out[2] = {t.out[0].data(), t.out[1].data()};
    t.instance->Render(in, out, 1024);
    for (int c = 0; c < 2; ++c)
        if (std::memcmp(t.in[c].data(), t.out[c].data(), 1024 * sizeof(float)) != 0)
            fuzz::Fail("audio did not pass through unchanged", c);
    fuzz::CheckParams(plug);
    return 0;
}

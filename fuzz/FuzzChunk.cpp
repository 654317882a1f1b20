// The settings chunk as the host hands it back from a project: SetChunk and CompareActiveChunk of
// the host adapter with arbitrary bytes and sizes.
//
// Input: one flag byte, then the chunk. Flag bit 0 writes the chunk's true length into its size
// field, bit 1 writes Quenlix's chunk ID at byte 20, so the fuzzer also reaches the state behind a
// well-formed header; bit 2 passes the ID read from the chunk itself (as a host does) instead of
// Quenlix's; bit 3 runs CompareActiveChunk before SetChunk as well. The chunk is copied into a
// buffer of exactly its length, so a read past it is caught.
//
// A refused chunk must change nothing; an accepted one must leave every parameter inside its range
// and every host control showing its parameter, save and compare equal, and let audio run.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzSupport.h"
#include "host/rtas/format/PlugInChunk.h"

namespace {

struct Target {
    std::unique_ptr<rtashost::Instance> instance;
    std::vector<unsigned char> defaults;  // the chunk right after creation
    std::vector<float> in[2], out[2];
};

Target& Get() {
    static Target* target = [] {
        auto* t = new Target;
        // Every reaction clears the engines' rings, whose length follows the rate: the lowest rate
        // a host offers keeps the runs quick.
        rtashost::InstanceConfig config;
        config.sampleRate = 8000.0;
        t->instance = fuzz::MakeInstance(2, config);
        std::string error;
        if (!t->instance->SaveChunk(&t->defaults, &error)) fuzz::Fail("the default chunk could not be saved");
        for (int c = 0; c < 2; ++c) {
            t->in[c].assign(1024, 0.0f);
            t->out[c].assign(1024, 0.0f);
            for (int i = 0; i < 1024; ++i) t->in[c][i] = static_cast<float>((i % 50) - 25) / 30.0f;
        }
        return t;
    }();
    return *target;
}

std::vector<unsigned char> CurrentState(IPlugBase& plug) {
    ByteChunk state;
    if (!plug.SerializeState(&state)) fuzz::Fail("SerializeState failed");
    return std::vector<unsigned char>(state.GetBytes(), state.GetBytes() + state.Size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    Target& t = Get();
    rtashost::Instance& instance = *t.instance;
    IPlugProcess& process = *fuzz::Process(instance);
    IPlugRTAS& plug = *fuzz::Plug(instance);
    if (instance.RestoreChunk(t.defaults) != kNoErr) fuzz::Fail("the default chunk does not restore");

    const unsigned flags = size > 0 ? data[0] : 0;
    const int32_t length = size > 0 ? static_cast<int32_t>(size - 1) : 0;
    // Exactly `length` bytes on the heap (one byte when empty, so the pointer is valid but unreadable).
    std::unique_ptr<unsigned char[]> chunk(new unsigned char[length > 0 ? length : 1]);
    if (length > 0) std::memcpy(chunk.get(), data + 1, static_cast<size_t>(length));
    if ((flags & 1) && length >= 4) WriteChunkField(chunk.get(), offsetof(PlugInChunkHeader, mSize), length);
    if ((flags & 2) && length >= 24)
        WriteChunkField(chunk.get(), offsetof(PlugInChunkHeader, mChunkID),
                        static_cast<int32_t>(fuzz::kQuenlixChunkID));
    OSType id = fuzz::kQuenlixChunkID;
    if (flags & 4) id = length >= 24 ? static_cast<OSType>(ReadChunkField(chunk.get(), 20)) : 0;

    bool equal = false;
    if (flags & 8) process.CompareActiveChunk(chunk.get(), length, &equal);

    const std::vector<unsigned char> before = CurrentState(plug);
    const uint32_t counter = instance.GetStateChangeCounter();
    const ComponentResult result = process.SetChunk(id, chunk.get(), length);
    if (result != kNoErr) {
        if (CurrentState(plug) != before) fuzz::Fail("a refused chunk changed the state");
        if (instance.GetStateChangeCounter() != counter)
            fuzz::Fail("a refused chunk counted as a state change");
    } else {
        if (instance.GetStateChangeCounter() == counter)
            fuzz::Fail("an accepted chunk did not count as a change");
        fuzz::CheckParams(plug);
        fuzz::CheckStateRoundTrip(plug);
        // Every host control shows its parameter: a double in the control's continuous encoding, an
        // enum as the whole number the plug-in itself uses (truncated, as its mirrors are).
        for (int i = 0; i < plug.NParams(); ++i) {
            const double shown = instance.GetControlNumber(i + 2);
            const IParam* p = plug.GetParam(i);
            const double expected =
                p->Type() == IParam::kTypeDouble ? p->Value() : static_cast<double>(p->Int());
            const double tolerance =
                p->Type() == IParam::kTypeDouble ? 1e-6 * (p->GetMax() - p->GetMin()) + 1e-9 : 0.0;
            if (!(std::fabs(shown - expected) <= tolerance))
                fuzz::Fail("host control differs from its parameter", i, shown);
        }
    }

    // The same bytes compared with the state they produced (or left): reads only its own bytes.
    equal = false;
    process.CompareActiveChunk(chunk.get(), length, &equal);

    // The saved chunk of the current state compares equal.
    std::vector<unsigned char> saved;
    std::string error;
    if (!instance.SaveChunk(&saved, &error)) fuzz::Fail("the chunk could not be saved");
    equal = false;
    if (instance.CompareChunk(saved, &equal) != kNoErr || !equal)
        fuzz::Fail("a saved chunk does not compare equal");

    float* in[2] = {t.in[0].data(), t.in[1].data()};
    float* out[2] = {t.out[0].data(), t.out[1].data()};
    instance.Render(in, out, 1024);
    for (int c = 0; c < 2; ++c)
        if (std::memcmp(t.in[c].data(), t.out[c].data(), 1024 * sizeof(float)) != 0)
            fuzz::Fail("audio did not pass through unchanged", c);
    return 0;
}

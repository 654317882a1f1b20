// Writes the starting inputs of every fuzz target: quenlix_fuzz_seeds <folder> makes
// <folder>/<target>/ for unserialize, chunk, process, audiofile and audiostream. The seeds are made from the
// real thing (the plug-in's own saved states and chunks, audio files written by libsndfile in
// every container the host may meet), so the committed tree holds no binary files.

#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "host/rtas/format/PlugInChunk.h"

namespace {

using Bytes = std::vector<unsigned char>;

bool MakeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

Bytes Prefixed(unsigned char first, const Bytes& rest) {
    Bytes b{first};
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

Bytes State(IPlugBase& plug) {
    ByteChunk chunk;
    plug.SerializeParams(&chunk);
    return Bytes(chunk.GetBytes(), chunk.GetBytes() + chunk.Size());
}

bool UnserializeSeeds(const std::string& dir, rtashost::Instance& instance) {
    IPlugRTAS& plug = *fuzz::Plug(instance);
    const Bytes defaults = State(plug);
    bool ok = WriteFile(dir + "/default", Prefixed(0x00, defaults));
    for (int p = 0; p < plug.NPresets(); ++p) {
        const ByteChunk& values = plug.GetPreset(p)->mChunk;
        ok &= WriteFile(dir + "/preset" + std::to_string(p),
                        Prefixed(0x00, Bytes(values.GetBytes(), values.GetBytes() + values.Size())));
    }
    ok &= WriteFile(dir + "/short", Prefixed(0x00, Bytes(defaults.begin(), defaults.begin() + 16)));
    Bytes offset{0x88, 1, 2, 3, 4, 5, 6, 7, 8};  // start at byte 8
    offset.insert(offset.end(), defaults.begin(), defaults.end());
    ok &= WriteFile(dir + "/offset", offset);
    return ok;
}

bool ChunkSeeds(const std::string& dir, rtashost::Instance& instance) {
    std::string error;
    Bytes chunk;
    if (!instance.SaveChunk(&chunk, &error)) return false;
    bool ok = WriteFile(dir + "/default", Prefixed(0x00, chunk));
    ok &= WriteFile(dir + "/fixed-header", Prefixed(0x0B, chunk));
    ok &= WriteFile(dir + "/header-only",
                    Prefixed(0x00, Bytes(chunk.begin(), chunk.begin() + kPlugInChunkHeaderSize)));
    instance.SetControlNumber(instance.FindControlByName("Type"), 1.0);
    instance.SetControlNumber(instance.FindControlByName("RMS Window"), 3000.0);
    if (!instance.SaveChunk(&chunk, &error)) return false;
    ok &= WriteFile(dir + "/ebu", Prefixed(0x04, chunk));
    return ok;
}

// Operation lists for the process target are read by FuzzedDataProvider from both ends, so any
// bytes make a valid list: a few fixed pseudo-random ones of different lengths.
bool ProcessSeeds(const std::string& dir) {
    std::mt19937 random(20261207);
    bool ok = true;
    const size_t lengths[] = {16, 64, 256, 1024};
    for (size_t n : lengths) {
        Bytes b(n);
        for (auto& byte : b) byte = static_cast<unsigned char>(random());
        ok &= WriteFile(dir + "/random" + std::to_string(n), b);
    }
    return ok;
}

// One short audio file in the given format: a tone on every channel.
bool AudioSeed(const std::string& path, int format, int channels, int rate, int frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    std::vector<float> samples(static_cast<size_t>(frames * channels));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[static_cast<size_t>(i * channels + c)] =
                0.5f * static_cast<float>(std::sin(0.1 * i * (c + 1)));
    const bool ok = sf_writef_float(f, samples.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

bool AudioFileSeeds(const std::string& dir) {
    struct Seed {
        const char* name;
        int format, channels, rate, frames;
    };
    const Seed seeds[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, 64},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, 32},
        {"pcm24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 6, 96000, 16},
        {"ulaw.au", SF_FORMAT_AU | SF_FORMAT_ULAW, 2, 8000, 64},
        {"pcm16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 256},
        {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 44100, 256},
        {"double.caf", SF_FORMAT_CAF | SF_FORMAT_DOUBLE, 4, 48000, 16},
        {"pcm32.w64", SF_FORMAT_W64 | SF_FORMAT_PCM_32, 5, 48000, 16},
        {"pcm8.rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_U8, 2, 32000, 32},
        {"imaadpcm.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 2, 22050, 512},
        {"msadpcm.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 1, 22050, 512},
        {"gsm.wav", SF_FORMAT_WAV | SF_FORMAT_GSM610, 1, 8000, 320},
        {"seven-channels.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 7, 48000, 8},
        {"low-rate.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 4000, 8},
    };
    bool ok = true;
    for (const Seed& s : seeds) ok &= AudioSeed(dir + "/" + s.name, s.format, s.channels, s.rate, s.frames);
    return ok;
}

// What a decoder sends down a pipe: WAV and AU, with their lengths or open-ended (sizes 0xFFFFFFFF, as a
// writer that cannot seek back leaves them).
bool AudioStreamSeeds(const std::string& dir) {
    bool ok = AudioSeed(dir + "/pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000, 64);
    ok &= AudioSeed(dir + "/float.au", SF_FORMAT_AU | SF_FORMAT_FLOAT, 1, 44100, 32);
    const std::string path = dir + "/open-ended.wav";
    ok &= AudioSeed(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 48000, 64);
    std::FILE* f = ok ? std::fopen(path.c_str(), "r+b") : nullptr;
    if (f == nullptr) return false;
    std::vector<char> bytes(4096);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    const std::string head(bytes.begin(), bytes.end());
    const std::size_t data = head.find("data");
    const unsigned char unknown[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    ok &= data != std::string::npos;
    ok &= ok && std::fseek(f, 4, SEEK_SET) == 0 && std::fwrite(unknown, 1, 4, f) == 4;  // RIFF size
    ok &=
        ok && std::fseek(f, static_cast<long>(data) + 4, SEEK_SET) == 0 && std::fwrite(unknown, 1, 4, f) == 4;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quenlix_fuzz_seeds <folder>\n");
        return 2;
    }
    const std::string root = argv[1];
    bool ok = MakeFolder(root);
    for (const char* name : {"unserialize", "chunk", "process", "audiofile", "audiostream"})
        ok &= MakeFolder(root + "/" + name);
    if (!ok) {
        std::fprintf(stderr, "quenlix_fuzz_seeds: cannot make the folders under %s\n", root.c_str());
        return 1;
    }
    rtashost::InstanceConfig config;
    config.sampleRate = 8000.0;
    auto instance = fuzz::MakeInstance(2, config);
    ok &= UnserializeSeeds(root + "/unserialize", *instance);
    ok &= ChunkSeeds(root + "/chunk", *instance);
    ok &= ProcessSeeds(root + "/process");
    ok &= AudioFileSeeds(root + "/audiofile");
    ok &= AudioStreamSeeds(root + "/audiostream");
    if (!ok) std::fprintf(stderr, "quenlix_fuzz_seeds: some seeds could not be written\n");
    return ok ? 0 : 1;
}

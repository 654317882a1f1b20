#include "host/rtas/IPlugGroup.h"

#include <cstdio>
#include <cstring>

#include "host/rtas/IPlugCustomUI.h"
#include "host/rtas/IPlugProcessRTAS.h"

namespace {

constexpr int32_t kGroupGestalt = 14;
constexpr int32_t kTypeGestalts[] = {8, 48, 55};
constexpr int32_t kSampleRateSupport = 6;

}  // namespace

IPlugGroup::IPlugGroup(const IPlugGroupInfo& info)
    : mChannelIO(info.channelIOStr ? info.channelIOStr : ""),
      mProductID(info.productID),
      mCategoryFlags(CategoryFlags(info.category)) {
    DefineManufacturerNamesAndID(info.mfrNames, info.mfrID);
    DefinePlugInNamesAndVersion(info.plugNames, info.groupVersion);
    AddGestalt(kGroupGestalt);
}

void IPlugGroup::Initialize() {
    try {
        CEffectGroup::Initialize();
        RegisterCustomView("IPlugDigiView", CreateIPlugDigiView);
    } catch (...) {
        // Out of memory: the host sees the types made so far (possibly none).
    }
}

uint32_t IPlugGroup::CategoryFlags(const char* category) {
    static const struct {
        const char* name;
        uint32_t flags;
    } kCategories[] = {{"None", 0},        {"EQ", 1},          {"Dynamics", 2},
                       {"PitchShift", 4},  {"Reverb", 8},      {"Delay", 16},
                       {"Modulation", 32}, {"Harmonic", 64},   {"NoiseReduction", 128},
                       {"Dither", 256},    {"SoundField", 512}};
    if (category) {
        for (const auto& entry : kCategories) {
            if (std::strcmp(category, entry.name) == 0) return entry.flags;
        }
    }
    return 8192;
}

OSType IPlugGroup::TypeCodeForConfiguration(int index) {
    const int position = index + 1;
    if (position < 1 || position > 99) return 0;
    char code[5] = {'E', 'F', 'N', '0', '\0'};
    if (position <= 9) {
        code[3] = static_cast<char>('0' + position);
    } else {
        code[2] = static_cast<char>('0' + position / 10);
        code[3] = static_cast<char>('0' + position % 10);
    }
    return FourCharCode(code);
}

CEffectProcessRTAS* IPlugGroup::NewProcessRTAS(const ProcessSetup& setup) {
    const auto* group = static_cast<const IPlugGroup*>(setup.group);
    if (!group) return nullptr;
    return new IPlugProcessRTAS(group->GetChunkID());
}

void IPlugGroup::CreateEffectTypes() {
    const char* pos = mChannelIO.c_str();
    int index = 0;
    while (pos) {
        int nIn = 0;
        int nOut = 0;
        if (std::sscanf(pos, "%d-%d", &nIn, &nOut) == 2) {
            const OSType code = TypeCodeForConfiguration(index++);
            if (code != 0) {
                auto* type = new CEffectTypeRTAS(code, mProductID, mCategoryFlags);
                type->DefineTypeNames(GetPlugInNames().c_str());
                type->DefineSampleRateSupport(kSampleRateSupport);
                type->DefineStemFormats(StemFormatForChannels(nIn), StemFormatForChannels(nOut));
                for (int32_t gestalt : kTypeGestalts) type->AddGestalt(gestalt);
                type->AttachEffectProcessCreator(NewProcessRTAS);
                AddEffectType(type);
            }
        }
        pos = std::strstr(pos, " ");
        if (pos) ++pos;
    }
}

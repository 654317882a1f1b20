#include "host/rtas/format/EffectGroup.h"

namespace {

constexpr int32_t kStemByChannels[] = {-1, 0, 1, 2, 3, 5, 6, 8, 12};
constexpr int kStemTableSize = static_cast<int>(sizeof(kStemByChannels) / sizeof(kStemByChannels[0]));

}  // namespace

int32_t StemFormatForChannels(int channels) {
    if (channels < 0 || channels >= kStemTableSize) return -1;
    return kStemByChannels[channels];
}

int ChannelsForStemFormat(int32_t stemFormat) {
    for (int channels = 1; channels < kStemTableSize; ++channels) {
        if (kStemByChannels[channels] == stemFormat) return channels;
    }
    return 0;
}

CEffectTypeRTAS::CEffectTypeRTAS(OSType typeID, OSType productID, uint32_t categoryFlags)
    : mTypeID(typeID), mProductID(productID), mCategoryFlags(categoryFlags) {}

void CEffectTypeRTAS::DefineStemFormats(int32_t input, int32_t output) {
    mInputStem = input;
    mOutputStem = output;
}

CEffectProcessRTAS* CEffectTypeRTAS::CreateProcess(const ProcessSetup& setup) const {
    if (!mCreator) return nullptr;
    ProcessSetup filled = setup;
    filled.numInputs = GetNumInputs();
    filled.numOutputs = GetNumOutputs();
    filled.group = mGroup;
    try {
        ScopedProcessSetup pending(filled);
        return mCreator(filled);
    } catch (...) {
        return nullptr;
    }
}

void CEffectGroup::DefineManufacturerNamesAndID(const char* names, OSType manufacturerID) {
    mManufacturerNames = names ? names : "";
    mManufacturerID = manufacturerID;
}

void CEffectGroup::DefinePlugInNamesAndVersion(const char* names, int32_t version) {
    mPlugInNames = names ? names : "";
    mVersion = version;
}

void CEffectGroup::AddEffectType(CEffectTypeRTAS* type) {
    if (!type) return;
    type->mGroup = this;
    mTypes.emplace_back(type);
}

void CEffectGroup::RegisterCustomView(const char* kind, CustomViewFactory factory) {
    if (kind && factory) mCustomViews.Register(kind, factory);
}

void CEffectGroup::Initialize() {
    if (mInitialized) return;
    mInitialized = true;
    CreateEffectTypes();
}

const CEffectTypeRTAS* CEffectGroup::GetEffectType(int index) const {
    if (index < 0 || index >= GetNumEffectTypes()) return nullptr;
    return mTypes[static_cast<size_t>(index)].get();
}

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/rtas/format/FourCharCode.h"
#include "host/rtas/format/PlugInView.h"
#include "host/rtas/format/Process.h"

// Channel layout of one side of an effect type, as the host names it ("stem format").
// Channel counts 0..8 map to -1, 0, 1, 2, 3, 5, 6, 8, 12; 9 or more channels have no stem (-1).
int32_t StemFormatForChannels(int channels);
// Inverse: the channel count of a stem format; -1 and unknown formats give 0.
int ChannelsForStemFormat(int32_t stemFormat);

// One effect type the plug-in offers: one channel configuration, with its codes and names.
// Owned by its group. Built on the main thread while the group creates its types.
class CEffectTypeRTAS {
  public:
    CEffectTypeRTAS(OSType typeID, OSType productID, uint32_t categoryFlags);
    virtual ~CEffectTypeRTAS() = default;
    CEffectTypeRTAS(const CEffectTypeRTAS&) = delete;
    CEffectTypeRTAS& operator=(const CEffectTypeRTAS&) = delete;

    void DefineTypeNames(const char* names) { mNames = names ? names : ""; }
    void DefineSampleRateSupport(int32_t support) { mSampleRateSupport = support; }
    void DefineStemFormats(int32_t input, int32_t output);
    void AddGestalt(int32_t gestalt) { mGestalts.push_back(gestalt); }
    void AttachEffectProcessCreator(ProcessCreator creator) { mCreator = creator; }

    OSType GetTypeID() const { return mTypeID; }
    OSType GetProductID() const { return mProductID; }
    uint32_t GetCategoryFlags() const { return mCategoryFlags; }
    const std::string& GetNames() const { return mNames; }
    int32_t GetSampleRateSupport() const { return mSampleRateSupport; }
    int32_t GetInputStemFormat() const { return mInputStem; }
    int32_t GetOutputStemFormat() const { return mOutputStem; }
    int GetNumInputs() const { return ChannelsForStemFormat(mInputStem); }
    int GetNumOutputs() const { return ChannelsForStemFormat(mOutputStem); }
    const std::vector<int32_t>& GetGestalts() const { return mGestalts; }

    // Host, main thread: creates a process of this type with `setup` (whose channel counts and
    // group this type fills in). The caller owns the result. Null when no creator is attached or
    // creation failed; never throws.
    virtual CEffectProcessRTAS* CreateProcess(const ProcessSetup& setup) const;

  private:
    friend class CEffectGroup;
    OSType mTypeID;
    OSType mProductID;
    uint32_t mCategoryFlags;
    std::string mNames;
    int32_t mSampleRateSupport = 0;
    int32_t mInputStem = -1;
    int32_t mOutputStem = -1;
    std::vector<int32_t> mGestalts;
    ProcessCreator mCreator = nullptr;
    const CEffectGroup* mGroup = nullptr;
};

// The process group: what a plug-in module hands the host. It names the maker and the plug-in,
// lists the effect types and the custom view kinds. Created by the module's entry point and
// deleted by the host (virtual destructor, so the module's own code frees it) after every
// process is gone.
//
// Threads: main thread only.
class CEffectGroup {
  public:
    CEffectGroup() = default;
    virtual ~CEffectGroup() = default;
    CEffectGroup(const CEffectGroup&) = delete;
    CEffectGroup& operator=(const CEffectGroup&) = delete;

    // `names` hold long, medium and short forms separated by '\n'.
    void DefineManufacturerNamesAndID(const char* names, OSType manufacturerID);
    void DefinePlugInNamesAndVersion(const char* names, int32_t version);
    void AddGestalt(int32_t gestalt) { mGestalts.push_back(gestalt); }
    // Takes ownership.
    void AddEffectType(CEffectTypeRTAS* type);
    void RegisterCustomView(const char* kind, CustomViewFactory factory);

    // Host: called once after the module handed the group over; creates the effect types.
    // Later calls do nothing.
    virtual void Initialize();

    const std::string& GetManufacturerNames() const { return mManufacturerNames; }
    OSType GetManufacturerID() const { return mManufacturerID; }
    const std::string& GetPlugInNames() const { return mPlugInNames; }
    int32_t GetVersion() const { return mVersion; }
    const std::vector<int32_t>& GetGestalts() const { return mGestalts; }
    int GetNumEffectTypes() const { return static_cast<int>(mTypes.size()); }
    // Null for an index outside 0 .. count - 1.
    const CEffectTypeRTAS* GetEffectType(int index) const;
    const CustomViewRegistry& GetCustomViews() const { return mCustomViews; }

  protected:
    // The plug-in adds its effect types here (called by Initialize).
    virtual void CreateEffectTypes() {}

  private:
    std::string mManufacturerNames;
    OSType mManufacturerID = 0;
    std::string mPlugInNames;
    int32_t mVersion = 0;
    std::vector<int32_t> mGestalts;
    std::vector<std::unique_ptr<CEffectTypeRTAS>> mTypes;
    CustomViewRegistry mCustomViews;
    bool mInitialized = false;
};

// The single symbol a plug-in module exports: returns a new group the host owns, or null.
// Declared extern "C" with default visibility by the module; hosts look it up by this name.
typedef CEffectGroup* (*PlugInGroupEntryPoint)();
constexpr const char* kPlugInGroupEntryPointName = "RTASNewPlugInGroup";

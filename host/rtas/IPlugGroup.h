#pragma once

#include <cstdint>

#include "host/rtas/format/EffectGroup.h"

// What a plug-in tells the host format about itself before any instance exists. The module's
// entry point fills one in from the plug-in's declarations.
struct IPlugGroupInfo {
    const char* mfrNames;      // long, medium and short maker names, '\n'-separated
    OSType mfrID;              // maker code
    const char* plugNames;     // plug-in names, '\n'-separated
    int32_t groupVersion;      // the group's version number
    const char* channelIOStr;  // "in-out" pairs separated by single blanks, one effect type each
    OSType productID;          // plug-in code, also the settings-chunk ID
    const char* category;      // "Effect", "EQ", "Dynamics", ... (see CategoryFlags)
};

// The process group the host instantiates once per plug-in file: registers the maker and the
// plug-in names, one effect type per channel configuration, and the editor's custom view kind.
// Main thread only.
class IPlugGroup : public CEffectGroup {
  public:
    // Copies the strings it needs. Null strings count as empty.
    explicit IPlugGroup(const IPlugGroupInfo& info);

    // Initialises the group (creates the effect types) and registers "IPlugDigiView".
    void Initialize() override;

    OSType GetChunkID() const { return mProductID; }

    // Category flags for a category name: "None" 0, "EQ" 1, "Dynamics" 2, "PitchShift" 4,
    // "Reverb" 8, "Delay" 16, "Modulation" 32, "Harmonic" 64, "NoiseReduction" 128,
    // "Dither" 256, "SoundField" 512; anything else (including "Effect") 8192.
    static uint32_t CategoryFlags(const char* category);
    // Type code of the channel configuration at position `index` (0-based): 'EFN1', 'EFN2',
    // then 'EFN3' .. 'EFN9', then 'EF10' .. 'EF99'; distinct for the first 99 positions.
    static OSType TypeCodeForConfiguration(int index);
    // The process creator attached to every effect type: an IPlugProcessRTAS whose chunk ID is
    // the group's product code. Null when `setup` names no IPlugGroup.
    static CEffectProcessRTAS* NewProcessRTAS(const ProcessSetup& setup);

  protected:
    // Walks the channel I/O string and adds one effect type per "in-out" pair.
    void CreateEffectTypes() override;

  private:
    std::string mChannelIO;
    OSType mProductID;
    uint32_t mCategoryFlags;
};

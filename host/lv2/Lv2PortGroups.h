#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "host/lv2/Lv2Ports.h"

// The main audio inputs and outputs of each plug-in as LV2 port groups: the group's kind (mono, stereo,
// 4.0, five channels, 5.1) and the role of every channel, in the slot order the loudness meter weighs
// them (L, R, C, LFE, Ls, Rs). A host wires a surround bus by these roles, not by "In 1 .. 6".
// Pure functions; no thread restrictions.
namespace lv2 {

struct ChannelGroup {
    std::string groupClass;                 // "pg:StereoGroup", ... ("" for a width without a layout)
    std::vector<std::string> designations;  // "pg:left", ... one per channel
};

// The layout of a width of 1, 2, 4, 5 or 6 channels; any other width gets none.
ChannelGroup ChannelGroupFor(int channels);

// The URI of a plug-in's main input or output group.
std::string GroupUri(const PluginEntry& entry, bool input);

// Turtle for the plug-in: " ;\n    pg:mainInput <...> ;\n    pg:mainOutput <...>", "" without a layout.
std::string MainGroupStatements(const PluginEntry& entry);
// Turtle for audio channel c: " ;\n        lv2:designation pg:left ;\n        pg:group <...>".
std::string ChannelGroupStatements(const PluginEntry& entry, int c, bool input);
// The two group descriptions of a plug-in, "" without a layout.
std::string GroupDescriptions(const PluginEntry& entry);

}  // namespace lv2

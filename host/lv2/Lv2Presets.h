#pragma once

#include <string>
#include <utility>
#include <vector>

class IPlugBase;

// The plug-in's factory presets as LV2 presets, one per preset and plug-in of the bundle, made from the
// same instance as the description. A preset holds the value of every setting (input control port):
// the value the preset gives, where that differs from the parameter's default, else the default of the
// plug-in's width, so that "EBU R128" on the 6-channel plug-in measures 5.1 as the plug-in itself
// starts. Pure functions; no thread restrictions.
namespace lv2 {

struct PresetEntry {
    std::string uri;                                     // "<plug-in URI>:preset:<symbol of the name>"
    std::string pluginUri;                               // the plug-in it applies to
    std::string label;                                   // the preset's name, e.g. "EBU R128"
    std::vector<std::pair<std::string, double>> values;  // port symbol, value; in port order
};

// Every initialised preset for every plug-in of the bundle, plug-ins first, presets in their order.
// A preset whose values cannot be read is left out.
std::vector<PresetEntry> PresetEntries(const IPlugBase& plug);

// Manifest statements naming each preset, its plug-in and the file that describes it.
std::string PresetManifestTurtle(const IPlugBase& plug, const std::string& presetsFile);
// The presets' file: label and port values of each.
std::string PresetsTurtle(const IPlugBase& plug);

}  // namespace lv2

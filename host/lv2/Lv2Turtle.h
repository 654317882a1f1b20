#pragma once

#include <map>
#include <string>
#include <vector>

class IPlugBase;

// The Turtle description of an LV2 bundle, made from a plug-in instance: its channel-I/O pairs give
// the plug-ins, its parameter table gives the control ports (names, ranges, defaults for each
// plug-in's width, enum texts and units). Written by the build (tools/), never by hand. Pure
// functions; no thread restrictions.
namespace lv2 {

// A plug-in UI in the bundle: every plug-in of the bundle names it with ui:ui.
struct UiEntry {
    std::string uri;
    std::string uiClass;                        // e.g. "http://lv2plug.in/ns/extensions/ui#X11UI"
    std::string binary;                         // file name inside the bundle
    std::vector<std::string> requiredFeatures;  // feature URIs
    std::vector<std::string> optionalFeatures;  // feature URIs
    std::vector<std::string> extensionData;     // interface URIs
    std::vector<std::string> supportedOptions;  // option URIs the UI reads (opts:supportedOption)
};

// What a host shows of a control port beyond the parameter table.
struct PortNote {
    std::string unitLabel;  // a unit of its own for hosts ("dBTP"), "" for the parameter's label
    std::string comment;    // rdfs:comment: what an output measures; "" for none
};

// The bundle's licence, as a doap:license URI.
constexpr const char* kLicenseUri = "http://opensource.org/licenses/MIT";

struct BundleFiles {
    std::string binary = "quenlix.so";        // the module, inside the bundle
    std::string description = "quenlix.ttl";  // the plug-ins' description, inside the bundle
    std::vector<UiEntry> uis;
    std::map<int, PortNote> portNotes;  // by parameter index
};

// manifest.ttl: each plug-in's URI, binary and description file, and each UI.
std::string ManifestTurtle(const IPlugBase& plug, const BundleFiles& files);
// The description file: units of our own, then every plug-in with its ports.
std::string DescriptionTurtle(const IPlugBase& plug, const BundleFiles& files);

// A number as a Turtle literal that reads back as the same double: "0.1", "-60.0", "3000.0".
std::string Number(double v);

}  // namespace lv2

#include "host/lv2/Lv2Presets.h"

#include <sstream>

#include "framework/IParam.h"
#include "framework/IPlugBase.h"
#include "host/lv2/Lv2Ports.h"
#include "host/lv2/Lv2Turtle.h"

namespace lv2 {
namespace {

std::string Label(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
}

}  // namespace

std::vector<PresetEntry> PresetEntries(const IPlugBase& plug) {
    std::vector<PresetEntry> entries;
    const std::vector<std::string> symbols = ParamSymbols(plug);
    for (const PluginEntry& plugin : PluginEntries(plug)) {
        for (int p = 0; p < plug.NPresets(); ++p) {
            const IPresetEntry* preset = plug.GetPreset(p);
            if (!preset || !preset->mInitialized) continue;
            PresetEntry entry{plugin.uri + ":preset:" + Symbol(preset->mName), plugin.uri, preset->mName, {}};
            // The preset's bytes are the saved-state values: one double per parameter, in index order.
            bool complete = true;
            for (int i = 0; i < plug.NParams() && complete; ++i) {
                double stored = 0.0;
                complete = preset->mChunk.Get(&stored, i * static_cast<int>(sizeof stored)) > 0;
                const IParam* param = plug.GetParam(i);
                if (!complete || IsOutputParam(param)) continue;
                const double value =
                    stored == param->GetDefault() ? plug.GetDefaultForChannels(i, plugin.nIn) : stored;
                entry.values.emplace_back(symbols[static_cast<size_t>(i)], value);
            }
            if (complete) entries.push_back(std::move(entry));
        }
    }
    return entries;
}

std::string PresetManifestTurtle(const IPlugBase& plug, const std::string& presetsFile) {
    std::ostringstream out;
    out << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n\n";
    for (const PresetEntry& e : PresetEntries(plug))
        out << "<" << e.uri << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << e.pluginUri << "> ;\n"
            << "    rdfs:seeAlso <" << presetsFile << "> .\n\n";
    return out.str();
}

std::string PresetsTurtle(const IPlugBase& plug) {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        << "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
        << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n";
    for (const PresetEntry& e : PresetEntries(plug)) {
        out << "<" << e.uri << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << e.pluginUri << "> ;\n"
            << "    rdfs:label " << Label(e.label);
        for (size_t v = 0; v < e.values.size(); ++v) {
            const auto& [symbol, value] = e.values[v];
            // Every value as a decimal: hosts hand a preset's numbers to control ports as floats.
            out << (v == 0 ? " ;\n    lv2:port [\n" : "\n    ] , [\n") << "        lv2:symbol "
                << Label(symbol) << " ;\n        pset:value " << Number(value);
        }
        out << (e.values.empty() ? " .\n\n" : "\n    ] .\n\n");
    }
    return out.str();
}

}  // namespace lv2

#include "host/lv2/Lv2Turtle.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "framework/IParam.h"
#include "framework/IPlugBase.h"
#include "host/lv2/Lv2PortGroups.h"
#include "host/lv2/Lv2Ports.h"

namespace lv2 {
namespace {

const char* const kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix log: <http://lv2plug.in/ns/ext/log#> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// Unit labels the LV2 units vocabulary has; any other label becomes a unit of our own.
const std::map<std::string, std::string> kLv2Units = {
    {"ms", "units:ms"}, {"s", "units:s"},     {"Hz", "units:hz"},
    {"dB", "units:db"}, {"dBFS", "units:db"}, {"%", "units:pc"},
};

// A Turtle string literal.
std::string Quoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        if (c == '\n') {
            q += "\\n";
            continue;
        }
        q += c;
    }
    return q + "\"";
}

bool IsDiscrete(const IParam* param) {
    return param->Type() == IParam::kTypeBool || param->Type() == IParam::kTypeInt ||
           param->Type() == IParam::kTypeEnum;
}

// A discrete parameter's bounds and default are whole numbers: written as integers.
std::string Value(const IParam* param, double v) {
    if (IsDiscrete(param) && v == std::floor(v) && std::fabs(v) < 1e15)
        return std::to_string(static_cast<long long>(v));
    return Number(v);
}

// The unit label a host shows for parameter idx: the note's own, else the parameter's.
std::string UnitLabel(const IPlugBase& plug, int idx, const BundleFiles& files) {
    auto note = files.portNotes.find(idx);
    if (note != files.portNotes.end() && !note->second.unitLabel.empty()) return note->second.unitLabel;
    return plug.GetParam(idx)->GetLabelForHost();
}

// The unit of a parameter: "" (none), "units:..." or the URI of a unit of our own.
std::string UnitOf(const IPlugBase& plug, int idx, const BundleFiles& files) {
    if (plug.GetParam(idx)->Type() != IParam::kTypeDouble) return "";
    const std::string label = UnitLabel(plug, idx, files);
    if (label.empty()) return "";
    auto it = kLv2Units.find(label);
    if (it != kLv2Units.end()) return it->second;
    std::string word;
    for (char c : label)
        if (std::isalnum(static_cast<unsigned char>(c)))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return "<" + UriBase(plug) + ":unit:" + word + ">";
}

void WriteOwnUnits(std::ostringstream& out, const IPlugBase& plug, const BundleFiles& files) {
    std::map<std::string, std::string> own;  // URI -> label, each once
    for (int i = 0; i < plug.NParams(); ++i) {
        const std::string unit = UnitOf(plug, i, files);
        if (!unit.empty() && unit[0] == '<') own[unit] = UnitLabel(plug, i, files);
    }
    for (const auto& [uri, label] : own) {
        out << uri << "\n"
            << "    a units:Unit ;\n"
            << "    rdfs:label " << Quoted(label) << " ;\n"
            << "    units:symbol " << Quoted(label) << " ;\n"
            << "    units:render " << Quoted("%.1f " + label) << " .\n\n";
    }
}

// nIn: the width of the plug-in the port belongs to, which some settings' defaults follow.
void WriteParamPort(std::ostringstream& out, const IPlugBase& plug, int idx, const std::string& symbol,
                    int nIn, const BundleFiles& files) {
    const IParam* param = plug.GetParam(idx);
    out << "        a " << (IsOutputParam(param) ? "lv2:OutputPort" : "lv2:InputPort")
        << " , lv2:ControlPort ;\n"
        << "        lv2:index " << idx << " ;\n"
        << "        lv2:symbol " << Quoted(symbol) << " ;\n"
        << "        lv2:name " << Quoted(param->GetNameForHost()) << " ;\n"
        << "        lv2:default " << Value(param, plug.GetDefaultForChannels(idx, nIn)) << " ;\n"
        << "        lv2:minimum " << Value(param, param->GetMin()) << " ;\n"
        << "        lv2:maximum " << Value(param, param->GetMax());
    if (IsDiscrete(param)) {
        out << " ;\n        lv2:portProperty lv2:integer";
        if (param->GetNDisplayTexts() > 0) out << " , lv2:enumeration";
        for (int t = 0; t < param->GetNDisplayTexts(); ++t) {
            int value = 0;
            const char* text = param->GetDisplayTextAtIdx(t, &value);
            out << (t == 0 ? " ;\n        lv2:scalePoint " : " ,\n            ") << "[ rdfs:label "
                << Quoted(text) << " ; rdf:value " << value << " ]";
        }
    }
    const std::string unit = UnitOf(plug, idx, files);
    if (!unit.empty()) out << " ;\n        units:unit " << unit;
    auto note = files.portNotes.find(idx);
    if (note != files.portNotes.end() && !note->second.comment.empty())
        out << " ;\n        rdfs:comment " << Quoted(note->second.comment);
    out << "\n";
}

void WritePlugin(std::ostringstream& out, const IPlugBase& plug, const PluginEntry& entry,
                 const BundleFiles& files) {
    const PortLayout layout{plug.NParams(), entry.nIn, entry.nOut};
    const int version = plug.GetEffectVersion();
    out << "<" << entry.uri << ">\n"
        << "    a lv2:Plugin , lv2:AnalyserPlugin ;\n"
        << "    doap:name " << Quoted(entry.name) << " ;\n"
        << "    lv2:project <" << UriBase(plug) << "> ;\n"
        << "    doap:license <" << kLicenseUri << "> ;\n"
        << "    lv2:minorVersion " << ((version >> 8) & 255) << " ;\n"
        << "    lv2:microVersion " << (version & 255) << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , log:log , opts:options ;\n"
        << "    lv2:extensionData state:interface" << MainGroupStatements(entry) << " ;\n";
    for (const UiEntry& ui : files.uis) out << "    ui:ui <" << ui.uri << "> ;\n";
    out << "    lv2:port [\n";
    const std::vector<std::string> symbols = ParamSymbols(plug);
    for (int i = 0; i < plug.NParams(); ++i) {
        WriteParamPort(out, plug, i, symbols[i], entry.nIn, files);
        out << "    ] , [\n";
    }
    out << "        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << layout.ResetPort() << " ;\n"
        << "        lv2:symbol " << Quoted(kResetSymbol) << " ;\n"
        << "        lv2:name \"Reset\" ;\n"
        << "        lv2:default 0 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n"
        << "        lv2:portProperty lv2:toggled , pprops:trigger\n"
        << "    ] , [\n"
        << "        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << layout.EnabledPort() << " ;\n"
        << "        lv2:symbol " << Quoted(kEnabledSymbol) << " ;\n"
        << "        lv2:name \"Enabled\" ;\n"
        << "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n"
        << "        lv2:designation lv2:enabled ;\n"
        << "        lv2:portProperty lv2:toggled\n"
        << "    ] , [\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        lv2:index " << layout.TransportPort() << " ;\n"
        << "        lv2:symbol " << Quoted(kTransportSymbol) << " ;\n"
        << "        lv2:name \"Control\" ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports time:Position ;\n"
        << "        lv2:designation lv2:control ;\n"
        // A host without a transport may leave it unconnected: the transport then counts as stopped.
        << "        lv2:portProperty lv2:connectionOptional\n";
    for (int c = 0; c < entry.nIn; ++c)
        out << "    ] , [\n"
            << "        a lv2:InputPort , lv2:AudioPort ;\n"
            << "        lv2:index " << layout.AudioInPort(c) << " ;\n"
            << "        lv2:symbol " << Quoted(AudioInSymbol(c)) << " ;\n"
            << "        lv2:name " << Quoted("In " + std::to_string(c + 1))
            << ChannelGroupStatements(entry, c, true) << "\n";
    for (int c = 0; c < entry.nOut; ++c)
        out << "    ] , [\n"
            << "        a lv2:OutputPort , lv2:AudioPort ;\n"
            << "        lv2:index " << layout.AudioOutPort(c) << " ;\n"
            << "        lv2:symbol " << Quoted(AudioOutSymbol(c)) << " ;\n"
            << "        lv2:name " << Quoted("Out " + std::to_string(c + 1))
            << ChannelGroupStatements(entry, c, false) << "\n";
    out << "    ] .\n\n" << GroupDescriptions(entry);
}

}  // namespace

std::string Number(double v) {
    if (!std::isfinite(v)) return "0.0";
    char buf[400];  // fixed notation of the largest double, with room to spare
    // The fewest decimals (at least one: a Turtle decimal needs its point) that read back as v.
    for (int decimals = 1; decimals <= 17; ++decimals) {
        std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
        if (std::strtod(buf, nullptr) == v) return buf;
    }
    std::snprintf(buf, sizeof buf, "%.17e", v);
    return buf;
}

std::string ManifestTurtle(const IPlugBase& plug, const BundleFiles& files) {
    std::ostringstream out;
    out << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
        << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
        << "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n";
    for (const PluginEntry& e : PluginEntries(plug))
        out << "<" << e.uri << ">\n"
            << "    a lv2:Plugin ;\n"
            << "    lv2:binary <" << files.binary << "> ;\n"
            << "    rdfs:seeAlso <" << files.description << "> .\n\n";
    for (const UiEntry& ui : files.uis) {
        out << "<" << ui.uri << ">\n"
            << "    a <" << ui.uiClass << "> ;\n"
            << "    lv2:binary <" << ui.binary << ">";
        for (const std::string& f : ui.requiredFeatures) out << " ;\n    lv2:requiredFeature <" << f << ">";
        for (const std::string& f : ui.optionalFeatures) out << " ;\n    lv2:optionalFeature <" << f << ">";
        for (const std::string& f : ui.extensionData) out << " ;\n    lv2:extensionData <" << f << ">";
        for (const std::string& o : ui.supportedOptions)
            out << " ;\n    <http://lv2plug.in/ns/ext/options#supportedOption> <" << o << ">";
        out << " .\n\n";
    }
    return out.str();
}

std::string DescriptionTurtle(const IPlugBase& plug, const BundleFiles& files) {
    std::ostringstream out;
    out << kPrefixes;
    out << "<" << UriBase(plug) << ">\n"
        << "    a doap:Project ;\n"
        << "    doap:name " << Quoted(plug.GetEffectName()) << " ;\n"
        << "    doap:license <" << kLicenseUri << "> ;\n"
        << "    doap:maintainer [ foaf:name " << Quoted(plug.GetMfrName()) << " ] .\n\n";
    WriteOwnUnits(out, plug, files);
    for (const PluginEntry& e : PluginEntries(plug)) WritePlugin(out, plug, e, files);
    return out.str();
}

}  // namespace lv2

#include "host/lv2/Lv2Ports.h"

#include <cctype>
#include <cstring>

#include "framework/IParam.h"
#include "framework/IPlugBase.h"
#include "framework/ParamDef.h"

namespace lv2 {
namespace {

// Lower-case letters and digits of text, everything else dropped.
std::string UriWord(const char* text) {
    std::string word;
    for (const char* p = text; p && *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p)))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return word;
}

// URI suffix and name suffix of a channel-I/O pair.
void DescribePair(int nIn, int nOut, std::string* suffix, std::string* name) {
    if (nIn == nOut && nIn == 1) {
        *suffix = "mono";
        *name = "Mono";
    } else if (nIn == nOut && nIn == 2) {
        *suffix = "stereo";
        *name = "Stereo";
    } else if (nIn == nOut) {
        *suffix = std::to_string(nIn) + "ch";
        *name = std::to_string(nIn) + " Channels";
    } else {
        *suffix = std::to_string(nIn) + "in" + std::to_string(nOut) + "out";
        *name = std::to_string(nIn) + " In " + std::to_string(nOut) + " Out";
    }
}

// Symbols of the fixed ports; a parameter never takes one.
bool IsFixedPortSymbol(const std::string& s) {
    if (s == kResetSymbol || s == kEnabledSymbol || s == kTransportSymbol) return true;
    for (const char* audio : {"in_", "out_"}) {
        const size_t n = std::strlen(audio);
        if (s.size() > n && s.compare(0, n, audio) == 0 &&
            s.find_first_not_of("0123456789", n) == std::string::npos)
            return true;
    }
    return false;
}

}  // namespace

std::string AudioInSymbol(int c) {
    return "in_" + std::to_string(c + 1);
}

std::string AudioOutSymbol(int c) {
    return "out_" + std::to_string(c + 1);
}

bool IsOutputParam(const IParam* param) {
    if (!param) return false;
    if (const ParamDef* row = param->GetDef()) return row->role == ParamDef::Role::kReadout;
    const size_t n = std::strlen(kOutputParamPrefix);
    return std::strncmp(param->GetNameForHost(), kOutputParamPrefix, n) == 0;
}

std::string UriBase(const IPlugBase& plug) {
    return "urn:" + UriWord(plug.GetMfrName()) + ":" + UriWord(plug.GetEffectName());
}

std::vector<PluginEntry> PluginEntries(const IPlugBase& plug) {
    std::vector<PluginEntry> entries;
    for (int i = 0; i < plug.NChannelIO(); ++i) {
        PluginEntry e;
        plug.GetChannelIO(i, &e.nIn, &e.nOut);
        if (e.nIn > plug.NInChannels() || e.nOut > plug.NOutChannels() || e.nIn + e.nOut == 0) continue;
        std::string suffix, name;
        DescribePair(e.nIn, e.nOut, &suffix, &name);
        e.uri = UriBase(plug) + ":" + suffix;
        e.name = std::string(plug.GetEffectName()) + " " + name;
        bool repeated = false;
        for (const PluginEntry& earlier : entries) repeated = repeated || earlier.uri == e.uri;
        if (!repeated) entries.push_back(e);
    }
    return entries;
}

std::string Symbol(const char* name) {
    std::string s;
    const size_t prefixLen = std::strlen(kOutputParamPrefix);
    if (name && std::strncmp(name, kOutputParamPrefix, prefixLen) == 0) {
        s = "out_";
        name += prefixLen;
    }
    bool gap = false;
    for (const char* p = name; p && *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (std::isalnum(c) && c < 0x80) {
            if (gap && !s.empty() && s.back() != '_') s += '_';
            s += static_cast<char>(std::tolower(c));
            gap = false;
        } else {
            gap = true;
        }
    }
    while (!s.empty() && s.back() == '_') s.pop_back();
    if (s.empty()) return "p";
    if (std::isdigit(static_cast<unsigned char>(s[0]))) s = "p_" + s;
    return s;
}

std::vector<std::string> ParamSymbols(const IPlugBase& plug) {
    std::vector<std::string> symbols;
    for (int i = 0; i < plug.NParams(); ++i) {
        std::string s = Symbol(plug.GetParam(i)->GetNameForHost());
        bool taken = IsFixedPortSymbol(s);
        for (const std::string& earlier : symbols) taken = taken || earlier == s;
        if (taken) s += "_p" + std::to_string(i);
        symbols.push_back(s);
    }
    return symbols;
}

}  // namespace lv2

#include "host/lv2/Lv2PortGroups.h"

namespace lv2 {

ChannelGroup ChannelGroupFor(int channels) {
    switch (channels) {
        case 1:
            return {"pg:MonoGroup", {"pg:center"}};
        case 2:
            return {"pg:StereoGroup", {"pg:left", "pg:right"}};
        case 4:
            // "4.0 Surround" weighs all four alike: the fourth is the rear centre of L, R, C, S.
            return {"pg:FourPointZeroGroup", {"pg:left", "pg:right", "pg:center", "pg:rearCenter"}};
        case 5:
            // "4.1 Surround" weighs slots 4 and 5 as surrounds and has no LFE among its five slots.
            return {"pg:FivePointZeroGroup",
                    {"pg:left", "pg:right", "pg:center", "pg:rearLeft", "pg:rearRight"}};
        case 6:
            return {"pg:FivePointOneGroup",
                    {"pg:left", "pg:right", "pg:center", "pg:lowFrequencyEffects", "pg:rearLeft",
                     "pg:rearRight"}};
        default:
            return {};
    }
}

std::string GroupUri(const PluginEntry& entry, bool input) {
    return entry.uri + (input ? ":in" : ":out");
}

std::string MainGroupStatements(const PluginEntry& entry) {
    if (ChannelGroupFor(entry.nIn).groupClass.empty()) return "";
    std::string s = " ;\n    pg:mainInput <" + GroupUri(entry, true) + ">";
    if (entry.nOut == entry.nIn) s += " ;\n    pg:mainOutput <" + GroupUri(entry, false) + ">";
    return s;
}

std::string ChannelGroupStatements(const PluginEntry& entry, int c, bool input) {
    const int width = input ? entry.nIn : entry.nOut;
    const ChannelGroup group = ChannelGroupFor(width);
    if (group.groupClass.empty() || c < 0 || c >= width || (!input && entry.nOut != entry.nIn)) return "";
    return " ;\n        lv2:designation " + group.designations[static_cast<size_t>(c)] +
           " ;\n        pg:group <" + GroupUri(entry, input) + ">";
}

std::string GroupDescriptions(const PluginEntry& entry) {
    const ChannelGroup group = ChannelGroupFor(entry.nIn);
    if (group.groupClass.empty()) return "";
    std::ostringstream out;
    out << "<" << GroupUri(entry, true) << ">\n"
        << "    a " << group.groupClass << " , pg:InputGroup ;\n"
        << "    lv2:symbol \"in\" ;\n"
        << "    rdfs:label \"Input\" .\n\n";
    if (entry.nOut == entry.nIn)
        out << "<" << GroupUri(entry, false) << ">\n"
            << "    a " << group.groupClass << " , pg:OutputGroup ;\n"
            << "    lv2:symbol \"out\" ;\n"
            << "    rdfs:label \"Output\" ;\n"
            << "    pg:source <" << GroupUri(entry, true) << "> .\n\n";
    return out.str();
}

}  // namespace lv2

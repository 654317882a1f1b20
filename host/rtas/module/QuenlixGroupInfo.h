#pragma once

// What Quenlix declares to the host format: maker and plug-in names, its codes (from the plug-in's
// identity), one effect type per channel configuration, and its category. The module's entry point
// registers it; programs that link the group in rather than load the module declare the same.

#include "host/rtas/IPlugGroup.h"
#include "plugin/QuenlixIdentity.h"

inline IPlugGroupInfo QuenlixGroupInfo() {
    return IPlugGroupInfo{
        "Harbelwick\nHarbelwick\nQXRV",  // maker names, long to short
        quenlix::kMfrID,                 // maker code
        "Quenlix\nIPEF",                 // plug-in names
        1,                               // group version
        quenlix::kChannelIOStr,          // one effect type per configuration
        quenlix::kUniqueID,              // plug-in code and settings-chunk ID
        "Effect",
    };
}

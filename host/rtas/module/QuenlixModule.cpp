// The Quenlix plug-in as a loadable module: the one entry point a host looks up, returning the
// process group that registers Quenlix with the host format.

#include "host/rtas/IPlugGroup.h"

namespace {

// What Quenlix declares to the host format: maker and plug-in names and codes, one effect type
// per channel configuration, and its category.
const IPlugGroupInfo kQuenlixGroup = {
    "Harbelwick\nHarbelwick\nQXRV",  // maker names, long to short
    FourCharCode("QXRV"),            // maker code
    "Quenlix\nIPEF",                 // plug-in names
    1,                               // group version
    "1-1 2-2 4-4 5-5 6-6",           // mono, stereo, four, five and six channels
    FourCharCode("QXR5"),            // plug-in code and settings-chunk ID
    "Effect",
};

}  // namespace

// Main thread, once per load. The host owns the group and deletes it before unloading. Null when
// it cannot be built; never throws.
extern "C" __attribute__((visibility("default"))) CEffectGroup* RTASNewPlugInGroup() {
    try {
        return new IPlugGroup(kQuenlixGroup);
    } catch (...) {
        return nullptr;
    }
}

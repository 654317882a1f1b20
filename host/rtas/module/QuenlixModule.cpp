// The Quenlix plug-in as a loadable module: the one entry point a host looks up, returning the
// process group that registers Quenlix with the host format.

#include "host/rtas/module/QuenlixGroupInfo.h"

// Main thread, once per load. The host owns the group and deletes it before unloading. Null when
// it cannot be built; never throws.
extern "C" __attribute__((visibility("default"))) CEffectGroup* RTASNewPlugInGroup() {
    try {
        return new IPlugGroup(QuenlixGroupInfo());
    } catch (...) {
        return nullptr;
    }
}

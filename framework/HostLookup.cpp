#include "framework/HostLookup.h"

#include <cctype>
#include <cstring>

namespace {

struct HostKey {
    const char* key;
    int host;
};

// Tested in this order; the first key found anywhere in the name wins, so "live" must stay
// ahead of "logic" and the short generic keys stay late.
constexpr HostKey kHostKeys[] = {
    {"cubase", kHostCubase},
    {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},
    {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude},
    {"fruity", kHostFL},
    {"live", kHostAbletonLive},
    {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},
    {"aulab", kHostAULab},
    {"garageband", kHostGarageBand},
    {"forte", kHostForte},
    {"chainer", kHostChainer},
    {"audition", kHostAudition},
    {"orion", kHostOrion},
    {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},
    {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch},
    {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost},
    {"protools", kHostProTools},
    {"ardour", kHostArdour},
    {"standalone", kHostStandalone},
};

}  // namespace

int LookUpHost(const char* name) {
    if (!name) return kHostUnknown;
    // Lower-cased copy, cut at 255 characters.
    char lower[256];
    int n = 0;
    for (; n < 255 && name[n]; ++n)
        lower[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[n])));
    lower[n] = '\0';
    for (const HostKey& k : kHostKeys)
        if (std::strstr(lower, k.key)) return k.host;
    return kHostUnknown;
}

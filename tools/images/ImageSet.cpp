#include "tools/images/ImageSet.h"

#include <cstdio>

#include "tools/images/Background.h"
#include "tools/images/ControlImages.h"
#include "tools/images/MeterImages.h"

namespace quenlix::images {

std::string scaledImageName(const std::string& name, double scale) {
    if (scale == 1.0) return name;
    const size_t dot = name.rfind('.');
    char factor[16];
    std::snprintf(factor, sizeof factor, "@%gx", scale);
    return name.substr(0, dot) + factor + name.substr(dot);
}

std::vector<ImageFile> drawImageSet(FontBook* fonts, double scale) {
    std::vector<ImageFile> set;
    set.push_back({"background.png", drawBackground(fonts, scale), false});
    set.push_back({"led_clip.png", drawClipLamp(scale), false});
    set.push_back({"led_meter_12-60db.png", drawLedMeterStrip(scale), false});
    // Selector entries are the display texts of their parameters, in entry order.
    set.push_back({"selector_mode.png", drawSelector({"RMS", "EBU R128"}, fonts, scale), true});
    set.push_back({"value.png", drawValueField("ms", fonts, scale), true});
    set.push_back({"selector_offon.png", drawSelector({"off", "on"}, fonts, scale), true});
    set.push_back({"selector_chconf_rms.png",
                   drawSelector({"Stereo", "Left", "Right", "4 Channel", "6 Channel"}, fonts, scale), true});
    set.push_back(
        {"selector_metermode_rms.png", drawSelector({"RMS (dBFS)", "RMS +3dB (dBFS)"}, fonts, scale), true});
    set.push_back({"selector_chconf_ebu.png",
                   drawSelector({"2.0 Stereo", "4.0 Surround", "4.1 Surround", "5.1 Surround"}, fonts, scale),
                   true});
    for (ImageFile& file : set) file.name = scaledImageName(file.name, scale);
    return set;
}

}  // namespace quenlix::images

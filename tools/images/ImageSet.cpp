#include "tools/images/ImageSet.h"

#include "tools/images/Background.h"
#include "tools/images/ControlImages.h"
#include "tools/images/MeterImages.h"

namespace quenlix::images {

std::vector<ImageFile> drawImageSet(FontBook* fonts) {
    std::vector<ImageFile> set;
    set.push_back({"background.png", drawBackground(fonts), false});
    set.push_back({"led_clip.png", drawClipLamp(), false});
    set.push_back({"led_meter_12-60db.png", drawLedMeterStrip(), false});
    // Selector entries are the display texts of their parameters, in entry order.
    set.push_back({"selector_mode.png", drawSelector({"RMS", "EBU R128"}, fonts), true});
    set.push_back({"value.png", drawValueField("ms", fonts), true});
    set.push_back({"selector_offon.png", drawSelector({"off", "on"}, fonts), true});
    set.push_back({"selector_chconf_rms.png",
                   drawSelector({"Stereo", "Left", "Right", "4 Channel", "6 Channel"}, fonts), true});
    set.push_back(
        {"selector_metermode_rms.png", drawSelector({"RMS (dBFS)", "RMS +3dB (dBFS)"}, fonts), true});
    set.push_back({"selector_chconf_ebu.png",
                   drawSelector({"2.0 Stereo", "4.0 Surround", "4.1 Surround", "5.1 Surround"}, fonts),
                   true});
    return set;
}

}  // namespace quenlix::images

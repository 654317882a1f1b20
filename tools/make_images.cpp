// quenlix_make_images: draws the editor's nine PNG images.
//
// Usage: quenlix_make_images <output folder>
// Writes background.png, led_clip.png, led_meter_12-60db.png, the five selector strips and
// value.png into the folder (which must exist), replacing files of those names. Exit status 0
// when every image was written, 1 otherwise (the reason is printed on stderr).

#include "tools/images/Background.h"
#include "tools/images/ControlImages.h"
#include "tools/images/MeterImages.h"
#include "tools/images/Painter.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace quenlix::images;

int main(int argc, char** argv)
{
  if (argc != 2 || argv[1][0] == '\0')
  {
    std::fprintf(stderr, "usage: quenlix_make_images <output folder>\n");
    return 1;
  }
  std::string folder = argv[1];
  if (folder.back() != '/')
    folder += '/';

  FontBook fonts;
  struct Output
  {
    const char* file;
    std::unique_ptr<LICE_IBitmap> image;
    bool withAlpha;
  };
  // Selector entries are the display texts of their parameters, in entry order.
  Output outputs[] = {
    {"background.png", drawBackground(&fonts), false},
    {"led_clip.png", drawClipLamp(), false},
    {"led_meter_12-60db.png", drawLedMeterStrip(), false},
    {"selector_mode.png", drawSelector({"RMS", "EBU R128"}, &fonts), true},
    {"value.png", drawValueField("ms", &fonts), true},
    {"selector_offon.png", drawSelector({"off", "on"}, &fonts), true},
    {"selector_chconf_rms.png",
     drawSelector({"Stereo", "Left", "Right", "4 Channel", "6 Channel"}, &fonts), true},
    {"selector_metermode_rms.png", drawSelector({"RMS (dBFS)", "RMS +3dB (dBFS)"}, &fonts), true},
    {"selector_chconf_ebu.png",
     drawSelector({"2.0 Stereo", "4.0 Surround", "4.1 Surround", "5.1 Surround"}, &fonts), true},
  };

  bool ok = true;
  for (const Output& out : outputs)
    ok = writeImage(folder + out.file, out.image.get(), out.withAlpha) && ok;
  return ok ? 0 : 1;
}

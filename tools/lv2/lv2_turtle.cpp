// quenlix_lv2_turtle BUNDLE_DIR: writes manifest.ttl, quenlix.ttl and presets.ttl into the LV2 bundle
// folder, made from a plug-in instance's channel-I/O pairs, parameter table and factory presets. Run by
// the build. Exit status 0 when every file was written, 1 otherwise (with a message on stderr).

#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <string>

#include "host/lv2/IPlugLV2.h"
#include "host/lv2/Lv2Presets.h"
#include "host/lv2/Lv2Turtle.h"
#include "plugin/QuenlixParams.h"

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "quenlix_lv2_turtle: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quenlix_lv2_turtle BUNDLE_DIR\n");
        return 1;
    }
    try {
        std::unique_ptr<IPlugLV2> plug(MakePlug());
        lv2::BundleFiles files;
        // The editor, in the host's window: it needs the plug-in instance in the host's process.
        files.uis.push_back(
            {QUENLIX_LV2_UI_URI,
             LV2_UI__X11UI,
             QUENLIX_LV2_UI_BINARY,
             {LV2_INSTANCE_ACCESS_URI, LV2_DATA_ACCESS_URI, LV2_UI__parent, LV2_UI__idleInterface},
             {LV2_UI__resize, LV2_UI__touch, LV2_UI__noUserResize, LV2_OPTIONS__options},
             {LV2_UI__idleInterface},
             // the density the host draws at, so the editor is drawn at it natively
             {LV2_UI__scaleFactor}});
        for (int idx : quenlix::kReadoutParams)
            files.portNotes[idx] = {quenlix::kParams[idx].hostUnit, quenlix::kParams[idx].comment};
        const std::string dir = std::string(argv[1]) + "/";
        const std::string presets = "presets.ttl";
        bool ok = WriteFile(dir + "manifest.ttl",
                            lv2::ManifestTurtle(*plug, files) + lv2::PresetManifestTurtle(*plug, presets));
        ok = WriteFile(dir + files.description, lv2::DescriptionTurtle(*plug, files)) && ok;
        ok = WriteFile(dir + presets, lv2::PresetsTurtle(*plug)) && ok;
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quenlix_lv2_turtle: %s\n", e.what());
        return 1;
    }
}

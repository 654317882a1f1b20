// quenlix_editor_snapshot [out.png] [rms|ebu]: renders the 616 x 320 editor through the headless window
// system after a few seconds of a six-channel demonstration programme and writes it as a PNG.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "EditorPicture.h"

int main(int argc, char** argv) {
    const char* out = argc > 1 ? argv[1] : "quenlix-editor.png";
    const bool ebu = argc > 2 && std::strcmp(argv[2], "ebu") == 0;
    if (argc > 2 && !ebu && std::strcmp(argv[2], "rms") != 0) {
        std::fprintf(stderr, "usage: %s [out.png] [rms|ebu] [scale]\n", argv[0]);
        return 2;
    }

    TestQuenlix plug;
    PluginHost host(plug, 6);
    plug.mTransportRunning = true;
    if (ebu) {
        HostSetsParam(plug, Quenlix::kType, 1);
        HostSetsParam(plug, Quenlix::kEbuChannelConfig, 3);  // 5.1
    } else {
        HostSetsParam(plug, Quenlix::kRmsChannelConfig, 4);  // 6 channels
    }
    IGraphicsHeadless* editor = OpenEditor(plug);
    if (editor && argc > 3) editor->SetScale(std::atof(argv[3]));
    if (!editor) {
        std::fprintf(stderr, "the editor has no headless window system\n");
        return 1;
    }
    TickUntilClean(editor);

    const double levelsDb[6] = {-14.0, -18.0, -24.0, -40.0, -9.0, 0.6};
    RunProgramme(host, 6, levelsDb, 4.0);
    TickUntilClean(editor);

    std::string error;
    if (!editor->WriteScreenPNG(out, &error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", out, error.c_str());
        return 1;
    }
    std::printf("wrote %s\n", out);
    return 0;
}

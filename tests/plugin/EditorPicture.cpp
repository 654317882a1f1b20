#include "EditorPicture.h"

#include <cmath>

#include "raster/Bitmap.h"

IGraphicsHeadless* OpenEditor(Quenlix& plug) {
    auto* editor = dynamic_cast<IGraphicsHeadless*>(plug.GetEditor());
    if (!editor) return nullptr;
    editor->OpenWindow(nullptr, nullptr, 0, 0);
    editor->SetAllControlsDirty();
    return editor;
}

int TickUntilClean(IGraphicsHeadless* editor) {
    int drawn = 0;
    for (int i = 0; i < 10 && editor->Tick(); ++i) ++drawn;
    return drawn;
}

LICE_pixel ScreenPixel(const IGraphicsHeadless* editor, int x, int y) {
    const LICE_IBitmap* screen = editor->GetFramebuffer();
    if (!screen || x < 0 || y < 0 || x >= screen->getWidth() || y >= screen->getHeight()) return 0;
    return screen->getBits()[y * screen->getRowSpan() + x];
}

bool ControlHasImage(Quenlix& plug, int controlIdx) {
    const IRECT* r = plug.GetEditor()->GetControl(controlIdx)->GetRECT();
    return r->W() > 0 && r->H() > 0;
}

void RunProgramme(PluginHost& host, int channels, const double* levelsDb, double seconds) {
    const double rate = 44100.0;
    host.Run(static_cast<long>(seconds * rate), 512, [&](int c, long i) {
        if (c >= channels) return 0.0f;
        const double t = static_cast<double>(i) / rate;
        const double amplitude =
            std::pow(10.0, levelsDb[c] / 20.0) * (0.75 + 0.25 * std::sin(2.0 * M_PI * 0.7 * t));
        return static_cast<float>(amplitude * std::sin(2.0 * M_PI * (220.0 + 110.0 * c) * t));
    });
}

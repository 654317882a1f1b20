// What the editor's texts show: a window typed into the "RMS Window" field is the window stored, shown
// and measured with; every read-out's text, at the extremes of what it can show, stays inside its box.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "EditorPicture.h"
#include "editor/HeadlessResponder.h"
#include "meters/RMSMM6.h"
#include "plugin/MeterText.h"
#include "raster/Bitmap.h"

namespace {

std::string HostDisplay(Quenlix& plug, int paramIdx) {
    char text[IParam::kDisplaySize] = "";
    plug.GetParam(paramIdx)->GetDisplayForHost(text);
    return text;
}

std::vector<LICE_pixel> Screen(const IGraphicsHeadless* editor) {
    std::vector<LICE_pixel> pixels;
    const LICE_IBitmap* screen = editor->GetFramebuffer();
    for (int y = 0; y < screen->getHeight(); ++y)
        for (int x = 0; x < screen->getWidth(); ++x) pixels.push_back(ScreenPixel(editor, x, y));
    return pixels;
}

// The whole editor drawn afresh.
std::vector<LICE_pixel> Redrawn(IGraphicsHeadless* editor) {
    editor->SetAllControlsDirty();
    TickUntilClean(editor);
    return Screen(editor);
}

// A right click on the field opens its text field; the responder types `keys` and Return.
void TypeIntoWindowField(Quenlix& plug, IGraphicsHeadless* editor, ScriptedResponder& responder,
                         const std::string& keys) {
    responder.QueueText(keys + "\r");
    const IRECT r = *plug.GetEditor()->GetControl(layout::kWindowField)->GetRECT();
    HeadlessMouse right;
    right.secondary = true;
    editor->MouseDown(r.L + 2, r.T + 2, right);
    editor->MouseUp(r.L + 2, r.T + 2, right);
    editor->Tick();
}

}  // namespace

// The window typed is the window the host would set: stored exactly as typed, shown rounded (never
// truncated) in the field and the host's display, and measured with the same window length. The field
// looks as it does for the host's value.
TEST(TypedWindow, IsStoredShownAndMeasuredAsTyped) {
    struct Case {
        const char* typed;
        double value;       // the host's value of the same window
        const char* shown;  // field and host display
    };
    const Case cases[] = {
        {"1000", 1000.0, "1000"}, {"500", 500.0, "500"},    {"250", 250.0, "250"},
        {"10", 10.0, "10"},       {"3000", 3000.0, "3000"}, {"2999", 2999.0, "2999"},
        {"12.7", 12.7, "13"},     {"12.5", 12.5, "13"},     {"300.4", 300.4, "300"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TestQuenlix typed, set;
        IGraphicsHeadless* typedEditor = OpenEditor(typed);
        IGraphicsHeadless* setEditor = OpenEditor(set);
        ASSERT_NE(typedEditor, nullptr);
        ASSERT_NE(setEditor, nullptr);
        ScriptedResponder responder;
        typedEditor->SetResponder(&responder);

        TypeIntoWindowField(typed, typedEditor, responder, c.typed);
        HostSetsParam(set, Quenlix::kRmsWindow, c.value);
        ASSERT_EQ(responder.mFieldsShown, 1);
        EXPECT_EQ(ParamValue(typed, Quenlix::kRmsWindow), c.value);
        EXPECT_EQ(HostDisplay(typed, Quenlix::kRmsWindow), c.shown);
        EXPECT_EQ(HostDisplay(set, Quenlix::kRmsWindow), c.shown);
        EXPECT_EQ(typed.GetRmsMeter().mWindowLength, set.GetRmsMeter().mWindowLength);
        const std::vector<LICE_pixel> typedPicture = Redrawn(typedEditor), setPicture = Redrawn(setEditor);
        size_t differing = 0;
        for (size_t i = 0; i < typedPicture.size(); ++i) differing += typedPicture[i] != setPicture[i];
        EXPECT_EQ(differing, 0u) << "pixels that differ from the picture of the host's value";
    }
}

// Each read-out drawn with the texts of its extreme values (and of some in between) against the same
// read-out left empty: ink may differ inside the read-out's box, never outside it.
TEST(ReadoutText, EveryReadoutsTextStaysInsideItsBox) {
    const double values[] = {-143.99, -125.0, -105.0, -99.96,  -99.9,    -23.0,     0.0,
                             99.96,   770.6,  999.96, 12345.6, INFINITY, -INFINITY, NAN};
    TestQuenlix plug;
    IGraphicsHeadless* editor = OpenEditor(plug);
    ASSERT_NE(editor, nullptr);
    Redrawn(editor);
    ASSERT_NE(editor->GetFramebuffer(), nullptr);
    const int width = editor->GetFramebuffer()->getWidth();
    for (int type : {0, 1}) {
        HostSetsParam(plug, Quenlix::kType, type);
        std::vector<std::pair<int, bool>> readouts;  // control, under a meter
        const int first = type == 0 ? layout::kFirstRmsReadout : layout::kFirstEbuReadout;
        for (int i = 0; i < (type == 0 ? 6 : 7); ++i) readouts.emplace_back(first + i, false);
        for (int k = 0; k < 6; ++k) readouts.emplace_back(layout::PeakReadout(k), true);

        for (const auto& [control, underMeter] : readouts) {
            std::vector<std::string> texts = {kNotValidText};
            for (double v : values) {
                char text[kMeterTextSize];
                FormatMeterValue(text, sizeof text, v, underMeter);
                texts.emplace_back(text);
            }
            // The rectangle with its far edges: glyphs placed by whole-pixel advances put the last
            // column of their antialiased ink on the right edge, as every ordinary value ("-23.0")
            // under a meter does.
            IRECT box = *plug.GetEditor()->GetControl(control)->GetRECT();
            box.R += 1;
            box.B += 1;
            const std::string saved = ReadoutText(plug, control);
            plug.GetEditor()->SetTextFromPlug(control, "");
            const std::vector<LICE_pixel> empty = Redrawn(editor);
            for (const std::string& text : texts) {
                plug.GetEditor()->SetTextFromPlug(control, text.c_str());
                const std::vector<LICE_pixel> drawn = Redrawn(editor);
                int inside = 0, outside = 0;
                for (size_t i = 0; i < drawn.size(); ++i) {
                    if (drawn[i] == empty[i]) continue;
                    const int x = static_cast<int>(i) % width, y = static_cast<int>(i) / width;
                    ++(box.Contains(x, y) ? inside : outside);
                }
                EXPECT_GT(inside, 0) << "control " << control << " \"" << text << "\"";
                EXPECT_EQ(outside, 0) << "control " << control << " \"" << text << "\"";
            }
            plug.GetEditor()->SetTextFromPlug(control, saved.c_str());
        }
    }
}

// IGraphics: showing a menu, the value prompt (a menu of named values or a text field) and applying
// typed text. UI thread.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/IPopupMenu.h"
#include "framework/IPlugBase.h"

namespace {

// The parameter's current value as display text, read as it stands without the plug-in mutex: a
// prompt never waits for the audio thread.
void CurrentDisplay(IPlugBase* /*plug*/, IParam* param, char* out, bool withDisplayText) {
    param->GetDisplayForHost(param->Value(), false, out, withDisplayText);
}

}  // namespace

void IGraphics::ShowPopupMenu(IPopupMenu* menu, IRECT* r, PopupMenuDone done) {
    IPopupMenu* chosen = CreateIPopupMenu(menu, r);
    if (done) done(chosen);
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, IRECT* r) {
    if (!control || !param || !r) return;
    const int n = param->GetNDisplayTexts();
    const IParam::EParamType type = param->Type();

    if (type == IParam::kTypeEnum || (type == IParam::kTypeBool && n > 0)) {
        char current[IParam::kDisplaySize] = "";
        CurrentDisplay(mPlug, param, current, true);
        // The menu lives until its outcome arrives, which may be after this call has returned.
        auto menu = std::make_shared<IPopupMenu>();
        for (int i = 0; i < n; ++i) {
            const char* text = param->GetDisplayTextAtIdx(i);
            const int flags =
                std::strcmp(text, current) == 0 ? IPopupMenuItem::kChecked : IPopupMenuItem::kNoFlags;
            menu->AddItem(text, -1, flags);
        }
        IPopupMenu* shown = menu.get();
        ShowPopupMenu(shown, r, [menu, control, param](IPopupMenu* chosen) {
            if (!chosen) return;
            const int idx = chosen->GetChosenItemIdx();
            if (idx >= 0) control->SetValueFromUserInput(param->GetNormalized(static_cast<double>(idx)));
        });
        return;
    }

    char current[IParam::kDisplaySize] = "";
    CurrentDisplay(mPlug, param, current, false);
    CreateTextEntry(control, control->GetIText(), r, current, param);
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text) {
    if (!control || !param) return;
    if (!text) text = "";
    double value = 0.0;
    const IParam::EParamType type = param->Type();
    if (type == IParam::kTypeBool || type == IParam::kTypeEnum) {
        int mapped = 0;
        if (param->MapDisplayText(text, &mapped)) value = mapped;
    } else {
        // Leading decimal number, 0 when there is none; infinities and NaN never reach the parameter.
        value = std::strtod(text, nullptr);
        if (!std::isfinite(value)) value = 0.0;
        if (param->GetNegateDisplay()) value = -value;
    }
    control->SetValueFromUserInput(param->GetNormalized(value));
}

// Value prompts: the menu of named values, the text field with its filters and limits, and how typed
// text becomes a parameter value.
#include <gtest/gtest.h>

#include "EditorTestUtil.h"
#include "TestPlug.h"
#include "editor/HeadlessResponder.h"
#include "editor/HeadlessTextField.h"
#include "editor/IPlugControls.h"
#include "editor/KeyTable.h"

namespace {

// Records the text of an entry opened without a parameter.
class TextSink : public ProbeControl {
  public:
    using ProbeControl::ProbeControl;
    void TextFromTextEntry(const char* text) override { mText = text; }
    std::string mText = "(none)";
};

class PromptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g = new IGraphicsHeadless(&plug, 300, 200);
        g->SetResponder(&responder);
        strip = MakeStrip(1, 40, 20, false);
        bitmap = HandleFor(strip.get(), 1, false);
    }
    IParameterButton* AddButton(int paramIdx, int x = 100, int y = 100) {
        auto* b = new IParameterButton(&plug, x, y, paramIdx, &bitmap, nullptr, true, false);
        g->AttachControl(b);
        return b;
    }
    void Open() {
        plug.AttachGraphics(g);
        g->OpenWindow(nullptr);
    }
    // Opens the value prompt of a button with a right click and lets the responder type.
    void PromptAndType(IParameterButton* b, const std::string& keys,
                       HeadlessTextScript::EEnd end = HeadlessTextScript::kLeaveOpen) {
        responder.QueueText(keys, end);
        HeadlessMouse right;
        right.secondary = true;
        const IRECT* r = b->GetRECT();
        g->MouseDown(r->L + 1, r->T + 1, right);
        g->MouseUp(r->L + 1, r->T + 1, right);
        g->Tick();
    }
    double Value(int paramIdx) { return plug.GetParam(paramIdx)->Value(); }

    TestPlug plug;
    IGraphicsHeadless* g = nullptr;
    ScriptedResponder responder;
    std::unique_ptr<LICE_MemBitmap> strip;
    IBitmap bitmap;
};

}  // namespace

TEST_F(PromptTest, EnumeratedParameterGetsAMenuWithTheCurrentEntryTicked) {
    IParameterButton* b = AddButton(TestPlug::kMode);
    Open();
    responder.QueueMenuChoice({3});
    HeadlessMouse right;
    right.secondary = true;
    g->MouseDown(101, 101, right);
    ASSERT_EQ(responder.mMenusShown, 1);
    EXPECT_EQ(responder.mLastMenuTitles.size(), 5u);
    EXPECT_EQ(responder.mLastMenuFlags[1], IPopupMenuItem::kChecked);  // "Bravo", the default
    EXPECT_EQ(responder.mLastMenuFlags[0], 0);
    EXPECT_EQ(responder.mLastMenuRect, *b->GetRECT());
    EXPECT_EQ(Value(TestPlug::kMode), 3.0);
    EXPECT_FALSE(g->TextEntryOpen());
}

TEST_F(PromptTest, BoolWithoutNamesGetsATextFieldInACentredBox) {
    IParameterButton* b = AddButton(TestPlug::kFlag, 100, 100);  // 40 x 20: centre (120, 110)
    Open();
    PromptAndType(b, "");
    ASSERT_TRUE(g->TextEntryOpen());
    EXPECT_EQ(responder.mMenusShown, 0);
    EXPECT_EQ(responder.mLastFieldRect, IRECT(105, 102, 135, 118));
    EXPECT_EQ(responder.mLastFieldText, "0");
}

TEST_F(PromptTest, DoubleFieldAcceptsSignsDigitsAndPointOnly) {
    IParameterButton* b = AddButton(TestPlug::kGain);
    Open();
    PromptAndType(b, "-1,2.5x");
    EXPECT_EQ(responder.mLastFieldText, "-20.0");  // plain number, typed over because it is selected
    ASSERT_TRUE(g->TextEntryOpen());
    EXPECT_EQ(g->GetTextField()->GetText(), "-12.5");
    EXPECT_TRUE(g->KeyDown(0, kChar_Return));
    EXPECT_FALSE(g->TextEntryOpen());
    EXPECT_NEAR(Value(TestPlug::kGain), -12.5, 1e-9);
}

TEST_F(PromptTest, IntegerFieldRefusesThePointAndLimitIsEightCharacters) {
    IParameterButton* b = AddButton(TestPlug::kCount);
    Open();
    PromptAndType(b, "4.2");
    EXPECT_EQ(g->GetTextField()->GetText(), "42");
    g->ForceEndUserEdit();
    EXPECT_EQ(Value(TestPlug::kCount), 10.0);  // not applied

    PromptAndType(b, "123456789", HeadlessTextScript::kClickElsewhere);
    EXPECT_EQ(Value(TestPlug::kCount), 100.0);  // 12345678 applied, clamped to the top
    HeadlessTextField field(nullptr, plug.GetParam(TestPlug::kCount), IRECT(), IText(), "", 8);
    for (char c : std::string("12345678")) EXPECT_EQ(field.Key(0, c), HeadlessTextField::kInserted);
    EXPECT_EQ(field.Key(0, '9'), HeadlessTextField::kRefused);
    EXPECT_EQ(field.Key(0, kChar_Backspace), HeadlessTextField::kEdited);
    EXPECT_EQ(field.Key(0, '9'), HeadlessTextField::kInserted);
    EXPECT_EQ(field.GetText(), "12345679");
}

TEST_F(PromptTest, LoneMinusOrEmptyFieldAppliesZero) {
    IParameterButton* b = AddButton(TestPlug::kGain);
    Open();
    PromptAndType(b, "-\r");
    EXPECT_EQ(Value(TestPlug::kGain), 0.0);
    plug.GetParam(TestPlug::kGain)->Set(-30.0);  // as the host adapter does
    g->SetParameterFromPlug(TestPlug::kGain, -30.0, false);
    PromptAndType(b, "\b", HeadlessTextScript::kClickElsewhere);  // deletes the selected text
    EXPECT_EQ(Value(TestPlug::kGain), 0.0);
}

TEST_F(PromptTest, NegatedDisplayTurnsTypedSixIntoMinusSix) {
    IParameterButton* b = AddButton(TestPlug::kNegated);
    Open();
    PromptAndType(b, "6\x03");  // Enter
    EXPECT_NEAR(Value(TestPlug::kNegated), -6.0, 1e-9);
    EXPECT_EQ(responder.mLastFieldText, "5.0");
}

TEST_F(PromptTest, WheelDeactivationAndClicksEndTheField) {
    IParameterButton* b = AddButton(TestPlug::kGain);
    g->AttachControl(new ProbeControl(&plug, IRECT(0, 0, 20, 20)));
    Open();
    PromptAndType(b, "-3", HeadlessTextScript::kCancel);
    EXPECT_EQ(Value(TestPlug::kGain), -20.0);

    PromptAndType(b, "-3");
    g->MouseWheel(150, 150, 1);
    EXPECT_FALSE(g->TextEntryOpen());
    EXPECT_EQ(Value(TestPlug::kGain), -20.0);

    PromptAndType(b, "-3");
    g->Deactivate();
    EXPECT_EQ(Value(TestPlug::kGain), -20.0);

    PromptAndType(b, "-3");
    const IRECT field = g->GetTextField()->GetRect();
    EXPECT_TRUE(g->MouseDown(field.L + 1, field.T + 1));  // on the field: stays open
    EXPECT_TRUE(g->TextEntryOpen());
    g->MouseDragged(5, 5);  // drags do not reach controls while a field is open
    g->MouseDown(5, 5);     // elsewhere: applies first, then the click goes on
    EXPECT_FALSE(g->TextEntryOpen());
    EXPECT_EQ(Value(TestPlug::kGain), -3.0);
    EXPECT_TRUE(g->IsMouseDown());
}

TEST_F(PromptTest, SecondPromptWhileAFieldIsOpenIsIgnored) {
    IParameterButton* b = AddButton(TestPlug::kGain);
    IParameterButton* other = AddButton(TestPlug::kCount, 10, 10);
    Open();
    PromptAndType(b, "7");
    g->PromptUserInput(other, plug.GetParam(TestPlug::kCount), const_cast<IRECT*>(other->GetRECT()));
    EXPECT_EQ(g->GetTextField()->GetControl(), b);
    EXPECT_EQ(g->GetTextField()->GetText(), "7");
}

TEST_F(PromptTest, DoubleClickPromptsOverTheEntryRectangle) {
    IParameterButton* b = AddButton(TestPlug::kGain, 100, 100);
    Open();
    responder.QueueText("1\r");
    g->MouseDown(110, 110, HeadlessMouse(), 2);
    g->Tick();
    EXPECT_EQ(responder.mLastFieldRect, IRECT(102, 101, 138, 119));
    EXPECT_EQ(Value(TestPlug::kGain), 1.0);
    EXPECT_EQ(b->GetIText()->mSize, 10);  // the prompt size was only lent
}

TEST_F(PromptTest, TypedNamesForEnumeratedParameters) {
    IParameterButton* b = AddButton(TestPlug::kMode);
    IParameterButton* gain = AddButton(TestPlug::kGain, 10, 10);
    Open();
    g->SetFromStringAfterPrompt(b, plug.GetParam(TestPlug::kMode), "Delta");
    EXPECT_EQ(Value(TestPlug::kMode), 3.0);
    g->SetFromStringAfterPrompt(b, plug.GetParam(TestPlug::kMode), "delta");
    EXPECT_EQ(Value(TestPlug::kMode), 0.0);
    // A number too large for a double is no number at all.
    g->SetFromStringAfterPrompt(gain, plug.GetParam(TestPlug::kGain), "1e999");
    EXPECT_EQ(Value(TestPlug::kGain), 0.0);
}

TEST_F(PromptTest, FieldWithoutParameterHandsTheTextToTheControl) {
    auto* sink = new TextSink(&plug, IRECT(0, 0, 50, 20));
    sink->SetTextEntryLength(20);
    g->AttachControl(sink);
    Open();
    responder.QueueText("any, text!\r");
    g->CreateTextEntry(sink, sink->GetIText(), const_cast<IRECT*>(sink->GetRECT()), "", nullptr);
    g->Tick();
    EXPECT_EQ(sink->mText, "any, text!");
}

TEST_F(PromptTest, PromptsAreSkippedWhereDisabled) {
    auto* probe = new ProbeControl(&plug, IRECT(0, 0, 50, 20), TestPlug::kGain);
    g->AttachControl(probe);
    Open();
    HeadlessMouse right;
    right.secondary = true;
    g->MouseDown(5, 5, right);
    EXPECT_EQ(responder.mMenusShown, 0);
    EXPECT_FALSE(g->TextEntryOpen());
}

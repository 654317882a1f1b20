// The window system's keys as the editor sees them: platform key codes and characters mapped to the
// editor's key codes handed to IGraphics::OnKeyDown. Pure functions, any thread.
#pragma once

// Platform key codes (virtual key codes of the keyboard) the table and the text field look at.
enum EPlatformKeyCode {
    kVK_Space = 49,
    kVK_LeftArrow = 123,
    kVK_RightArrow = 124,
    kVK_DownArrow = 125,
    kVK_UpArrow = 126,
};

// Character codes of special keys as the platform delivers them with a key event.
enum EPlatformCharCode {
    kChar_Enter = 3,
    kChar_Backspace = 8,
    kChar_Return = 13,
    kChar_Escape = 27,
    kChar_LeftArrow = 28,
    kChar_RightArrow = 29,
    kChar_UpArrow = 30,
    kChar_DownArrow = 31,
    kChar_Delete = 127,  // forward delete
};

// Editor key codes: space 0, arrows up/down/left/right 1..4, "0".."9" 5..14, letters 15..40
// ("A" and "a" are both 15).
enum EEditorKey {
    KEY_SPACE = 0,
    KEY_UPARROW = 1,
    KEY_DOWNARROW = 2,
    KEY_LEFTARROW = 3,
    KEY_RIGHTARROW = 4,
    KEY_DIGIT_0 = 5,
    KEY_ALPHA_A = 15
};

// The editor key for a key event, or -1 when the editor does not handle the key (it goes to the host).
int MapPlatformKey(int keyCode, int character);

#include "editor/KeyTable.h"

int MapPlatformKey(int keyCode, int character) {
    switch (keyCode) {
        case kVK_Space:
            return KEY_SPACE;
        case kVK_UpArrow:
            return KEY_UPARROW;
        case kVK_DownArrow:
            return KEY_DOWNARROW;
        case kVK_LeftArrow:
            return KEY_LEFTARROW;
        case kVK_RightArrow:
            return KEY_RIGHTARROW;
        default:
            break;
    }
    if (character >= '0' && character <= '9') return character - 43;
    if (character >= 'A' && character <= 'Z') return character - 50;
    if (character >= 'a' && character <= 'z') return character - 82;
    return -1;
}

#pragma once

// Growable, heap-backed, zero-terminated text. Get() never returns null (an empty string is "").
// Allocation never throws: when growing fails the string keeps its previous text and the call
// returns false. Not thread-safe; every setter may allocate, so none is called on the audio thread.
class WDL_String {
  public:
    WDL_String() = default;
    explicit WDL_String(const char* text);
    WDL_String(const WDL_String& other);
    WDL_String& operator=(const WDL_String& other);
    ~WDL_String();

    const char* Get() const { return mBuf ? mBuf : ""; }
    int GetLength() const { return mLength; }

    // Replaces the text with at most maxLen characters of text (maxLen <= 0: all of it).
    // A null text counts as "".
    bool Set(const char* text, int maxLen = 0);
    // Appends at most maxLen characters of text (maxLen <= 0: all of it).
    bool Append(const char* text, int maxLen = 0);
    // printf-style; the result is cut after maxLen characters.
    bool SetFormatted(int maxLen, const char* format, ...) __attribute__((format(printf, 3, 4)));
    bool AppendFormatted(int maxLen, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // Cuts the text to at most length characters.
    void SetLength(int length);

  private:
    bool Reserve(int length);

    char* mBuf = nullptr;
    int mLength = 0;
    int mCapacity = 0;
};

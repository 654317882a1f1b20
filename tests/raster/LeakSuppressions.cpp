// Fontconfig keeps its configuration for the life of the process by design; releasing it would
// need FcFini, which is unsafe while any other code in the process may still use fontconfig.
// LeakSanitizer looks this hook up by name in sanitizer builds (so it must stay visible even
// though the project hides symbols by default); elsewhere it is an unused function.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

#pragma once

// Trace points of the framework. The hook deliberately does nothing: there is no log, and the
// audio thread may pass through a trace point, so the hook must never allocate, lock or write.
// The format attribute keeps the arguments honest even though nothing is printed.
//
// Any thread; cheap enough for the audio thread.
void Trace(const char* location, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));

#define TRACE_HERE __FUNCTION__, __LINE__

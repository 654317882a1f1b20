#pragma once

#include <cstdint>

// The host's transport as a process sees it. Implemented by the host; a process holds a
// non-owning pointer that may be null (a host without a transport). The host keeps the object
// alive for the life of every process it handed it to.
//
// Threads: read from the audio thread while rendering, so implementations must not block or
// allocate.
class ITransport {
  public:
    virtual ~ITransport() = default;
    virtual bool IsTransportPlaying() const = 0;
    // Samples since the project start of the current block's first frame.
    virtual int64_t GetCurrentSampleLocation() const = 0;
    // Beats per minute.
    virtual double GetCurrentTempo() const = 0;
    virtual void GetCurrentMeter(int32_t* numerator, int32_t* denominator) const = 0;
    // Musical position in ticks, kTicksPerQuarterNote to a quarter note.
    virtual int64_t GetCurrentTickPosition() const = 0;

    static constexpr int64_t kTicksPerQuarterNote = 960000;
};

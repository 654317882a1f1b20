// A double that the plug-in side and the UI thread may both read and write without a data race.
// Every load and store is atomic; a read-modify-write (+=) is a load followed by a store, so two
// threads adding at once may lose one addition (the later store wins), never tear a value.
#pragma once

#include <atomic>

class SharedValue {
  public:
    SharedValue(double v = 0.0) : mV(v) {}
    SharedValue(const SharedValue& o) : mV(o.Get()) {}
    SharedValue& operator=(const SharedValue& o) {
        Set(o.Get());
        return *this;
    }
    SharedValue& operator=(double v) {
        Set(v);
        return *this;
    }
    operator double() const { return Get(); }
    SharedValue& operator+=(double d) {
        Set(Get() + d);
        return *this;
    }

    double Get() const { return mV.load(std::memory_order_acquire); }
    void Set(double v) { mV.store(v, std::memory_order_release); }

  private:
    std::atomic<double> mV;
};

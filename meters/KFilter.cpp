#include "meters/KFilter.h"

#include <cmath>

const KFilter::Design KFilter::kPreFilter = {
    5284.078578647624, 1681.974450955532, 1.25872093023256, 1.0, 1.58486470113086, 0.70717523695542,
};

const KFilter::Design KFilter::kRlbFilter = {
    119.80611514558424, 38.13547087611304, 0.0, 0.0, 1.00499489871469, 0.50032703732504,
};

void KFilter::Init(const Design& design, double sampleRate) {
    mFs = sampleRate;
    mF0 = design.f0;
    mVb = design.Vb;
    mC = design.c;
    mVh = design.Vh;
    mQ = design.Q;
    mK = std::tan(design.piF0 / mFs);
    mK2 = mK * mK;
    mA0 = mK2 + mK / mQ + 1.0;
    mA1 = 2 * (mK2 - 1.0) / mA0;
    mA2 = (mK2 - mK / mQ + 1.0) / mA0;
    mB0 = (mC * mK2 + mVb * mK / mQ + mVh) / mA0;
    mB1 = 2 * (mC * mK2 - mVh) / mA0;
    mB2 = (mC * mK2 - mVb * mK / mQ + mVh) / mA0;
    mA0n = 1.0;
    mOut = 0.0;
    Reset();
}

/* Comparison driver for libebur128 (Debian's libebur128-dev), used only by the side-by-side benchmark:
 * measures one file the way `quenlix measure` does in its EBU type, integrated loudness, loudness range,
 * true peak, and the momentary and short-term loudness with their maxima (read every 100 ms), and prints
 * the results on one line. Reads the file with libsndfile in blocks of 4800 frames.
 *
 * Usage: ebur128_measure FILE. Exit 0 on success, 1 on any failure (with a message on stderr). */
#include <ebur128.h>
#include <math.h>
#include <sndfile.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: ebur128_measure FILE\n");
        return 1;
    }
    SF_INFO info = {0};
    SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
    if (file == NULL) {
        fprintf(stderr, "ebur128_measure: cannot open %s: %s\n", argv[1], sf_strerror(NULL));
        return 1;
    }
    ebur128_state* st = ebur128_init(
        (unsigned)info.channels, (unsigned long)info.samplerate,
        EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_M | EBUR128_MODE_S);
    /* Frames per read: 100 ms at 48 kHz, the interval the momentary and short-term values are read at. */
    const sf_count_t block = info.samplerate / 10;
    float* buf = st != NULL ? malloc(sizeof(float) * (size_t)block * (size_t)info.channels) : NULL;
    if (buf == NULL) {
        fprintf(stderr, "ebur128_measure: out of memory\n");
        sf_close(file);
        return 1;
    }
    double momentaryMax = -HUGE_VAL, shortTermMax = -HUGE_VAL, m = -HUGE_VAL, s = -HUGE_VAL;
    sf_count_t got;
    while ((got = sf_readf_float(file, buf, block)) > 0) {
        if (ebur128_add_frames_float(st, buf, (size_t)got) != EBUR128_SUCCESS) {
            fprintf(stderr, "ebur128_measure: add_frames failed\n");
            return 1;
        }
        if (ebur128_loudness_momentary(st, &m) == EBUR128_SUCCESS && m > momentaryMax) momentaryMax = m;
        if (ebur128_loudness_shortterm(st, &s) == EBUR128_SUCCESS && s > shortTermMax) shortTermMax = s;
    }
    double integrated = 0.0, range = 0.0, peak = 0.0, tp = 0.0;
    ebur128_loudness_global(st, &integrated);
    ebur128_loudness_range(st, &range);
    for (unsigned c = 0; c < (unsigned)info.channels; ++c) {
        if (ebur128_true_peak(st, c, &tp) == EBUR128_SUCCESS && tp > peak) peak = tp;
    }
    printf("I %.1f LUFS  LRA %.1f LU  TP %.2f dBTP  M %.1f (max %.1f)  S %.1f (max %.1f)\n", integrated,
           range, peak > 0.0 ? 20.0 * log10(peak) : -HUGE_VAL, m, momentaryMax, s, shortTermMax);
    free(buf);
    ebur128_destroy(&st);
    sf_close(file);
    return 0;
}

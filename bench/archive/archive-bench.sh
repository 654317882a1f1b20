#!/bin/bash
# Whole-archive throughput of `quenlix measure`: FILES programmes of 10 s stereo 48 kHz (24-bit WAV) metered
#   1. in one process with -j 2 into --jsonl records,
#   2. as one process per file under GNU parallel -j 2,
#   3. in one process with -j 1, against the same audio as one long programme,
# and the per-programme overhead (everything a programme costs beyond metering its audio: list, stat,
# opening, a plug-in instance, the record written) from 3, beside the metering time; and the same overhead
# seen directly on tiny programmes (0.5 s mono 8 kHz). Prints figures; asserts nothing.
#
#   bash bench/archive/archive-bench.sh [BUILD_FOLDER] [FILES]     (defaults: build 1000)
#
# Needs ffmpeg and GNU parallel (scripts/setup installs both). Scratch space: about 3 MB per file.
set -euo pipefail

build=${1:-build}
files=${2:-1000}
quenlix=$(readlink -f "$build/cli/quenlix")
[ -x "$quenlix" ] || { echo "archive-bench: no $quenlix; build the quenlix target first" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/quenlix-archive-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# Wall seconds, then user + system CPU seconds, of a command whose output is thrown away.
timed() {
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>&1 || true
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time"
}

# One 10 s programme (two detuned tones, as the other benchmarks use), copied FILES times: each copy is
# opened and metered in full, whatever its bytes.
segments=30
ffmpeg -loglevel error -f lavfi -i "sine=f=440:d=10:r=48000" -f lavfi -i "sine=f=441.5:d=10:r=48000" \
    -filter_complex "[0][1]amerge=inputs=2,volume=0.3" -c:a pcm_s24le "$work/programme.wav"
ffmpeg -loglevel error -stream_loop $((segments - 1)) -i "$work/programme.wav" -c:a pcm_s24le "$work/long.wav"
ffmpeg -loglevel error -f lavfi -i "sine=f=500:d=0.5:r=8000" -ac 1 -c:a pcm_s16le "$work/tiny.wav"
mkdir -p "$work/archive" "$work/tiny"
for ((i = 0; i < files; ++i)); do
    d=$((i / 100))
    mkdir -p "$work/archive/$d" "$work/tiny/$d"
    cp "$work/programme.wav" "$work/archive/$d/$i.wav"
    cp "$work/tiny.wav" "$work/tiny/$d/$i.wav"
done
find "$work/archive" -name '*.wav' | sort > "$work/list"
find "$work/tiny" -name '*.wav' | sort > "$work/tiny-list"
# Read once so every run below starts from the page cache.
cat "$work/list" | xargs cat > /dev/null

read -r j2_wall j2_cpu < <(timed "$quenlix" measure -q -j 2 --jsonl "$work/j2.jsonl" --files-from "$work/list")
read -r par_wall par_cpu < <(timed parallel -j 2 "$quenlix" measure -q --jsonl - {} :::: "$work/list")
read -r j1_wall j1_cpu < <(timed "$quenlix" measure -q --jsonl "$work/j1.jsonl" --files-from "$work/list")
read -r long_wall long_cpu < <(timed "$quenlix" measure -q --jsonl "$work/long.jsonl" "$work/long.wav")
read -r tiny_wall tiny_cpu < <(timed "$quenlix" measure -q --jsonl "$work/tiny.jsonl" --files-from "$work/tiny-list")

[ "$(wc -l < "$work/j2.jsonl")" -eq "$files" ] || echo "archive-bench: the -j 2 run recorded $(wc -l < "$work/j2.jsonl") of $files" >&2

awk -v n="$files" -v seg="$segments" -v j2="$j2_wall" -v j2c="$j2_cpu" -v par="$par_wall" -v parc="$par_cpu" \
    -v j1="$j1_wall" -v j1c="$j1_cpu" \
    -v lw="$long_wall" -v lc="$long_cpu" -v tw="$tiny_wall" -v tc="$tiny_cpu" -v cores="$(nproc)" 'BEGIN {
    printf "archive: %d files of 10 s stereo 48 kHz 24-bit WAV (%d cores; load %s)\n", n, cores, "'"$(cut -d' ' -f1-3 /proc/loadavg)"'"
    printf "  -j 2, one process:              %8.1f files/s  (%.1f s wall, %.1f s CPU)\n", n / j2, j2, j2c
    printf "  one process per file, parallel: %8.1f files/s  (%.1f s wall, %.1f s CPU with parallel'"'"'s own)\n", n / par, par, parc
    printf "  -j 1, one process:              %8.1f files/s  (%.1f s wall, %.1f s CPU)\n", n / j1, j1, j1c
    meter = lc / seg * 1000.0
    printf "  metering 10 s of audio:         %8.2f ms CPU  (one %d s programme: %.2f s CPU)\n", meter, seg * 10, lc
    printf "  per-programme overhead:         %8.2f ms CPU  (-j 1 CPU per file minus metering)\n", j1c / n * 1000.0 - meter
    printf "  tiny programmes (0.5 s 8 kHz):  %8.2f ms CPU, %.2f ms wall per file, %.0f files/s\n", tc / n * 1000.0, tw / n * 1000.0, n / tw
    printf "  10,000 files at the -j 2 rate:  %8.0f s\n", 10000 / (n / j2)
}'

#!/usr/bin/env bash
# Writes a test sound: a 16-bit stereo 44.1 kHz WAV with 440 Hz on the left and 660 Hz on the right.
#   scripts/tone.sh FILE [SECONDS]   (default 2 seconds)
set -euo pipefail
if [ "$#" -lt 1 ]; then
    echo "Usage: $0 FILE [SECONDS]" >&2
    exit 2
fi
LC_ALL=C awk -v seconds="${2:-2}" '
function le(value, bytes) { for (; bytes > 0; bytes--) { printf "%c", value % 256; value = int(value / 256) } }
function sample(hz, i) { s = int(9000 * sin(2 * 3.14159265358979 * hz * i / 44100)); return s < 0 ? s + 65536 : s }
BEGIN {
    frames = int(44100 * seconds); bytes = frames * 4
    printf "RIFF"; le(36 + bytes, 4); printf "WAVEfmt "; le(16, 4); le(1, 2); le(2, 2); le(44100, 4)
    le(44100 * 4, 4); le(4, 2); le(16, 2); printf "data"; le(bytes, 4)
    for (i = 0; i < frames; i++) { le(sample(440, i), 2); le(sample(660, i), 2) }
}' >"$1"

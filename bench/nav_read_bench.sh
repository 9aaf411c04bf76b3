#!/bin/sh
# The read of a day's mixed navigation file against the read of a day's
# 30-second observation file of a station.
#
#   bench/nav_read_bench.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR holds lumerak and gen_rinex (default: build); ROUNDS the number of
# rounds (default 7).
#
# Files (scratch folder below /tmp, removed at the end): the navigation file
# is tests/data/MOJN00DNK_R_20201770000_01D_MN.rnx.gz (RINEX 3.05, G R E C J
# and SBAS, 2.4 MB unpacked, 2,730 ephemerides stored and 2,168 SBAS records
# passed over), read as it is (gzip) and unpacked; the observation day is
# gen_rinex -3 of 24 hours at 30 s of 28 satellites (RINEX 3.04; it
# hangs at 32). Every round
# reads, each into an empty folder, one after the other: the observation day,
# the gzip navigation file, the plain navigation file (lumerak -r, journaled
# and synced as every read). Wall time from date +%s%N; CPU (user + system)
# from /usr/bin/time. Figures are medians over the rounds; a ratio is the
# median of the per-round ratios.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
runs=${2:-7}
. "$repo/bench/common.sh"
bench_setup nav_read_bench "$build"

cd "$work"
"$gen" -3 DAY.rnx 24 30 28 >/dev/null
cp "$repo/tests/data/MOJN00DNK_R_20201770000_01D_MN.rnx.gz" nav.gz
gzip -dc nav.gz > nav.rnx

timed() {
    name=$1
    shift
    rm -rf db && mkdir db && cd db
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$work/r.txt" "$@" >/dev/null 2>&1
    stop=$(date +%s%N)
    cd "$work"
    echo "$start $stop" | awk '{ printf "%.4f\n", ($2 - $1) / 1e9 }' >> "$work/$name.wall"
    awk 'END { print $1 + $2 }' "$work/r.txt" >> "$work/$name.cpu"
}

i=0
while [ $i -lt "$runs" ]; do
    timed obs "$lumerak" -r"$work/DAY.rnx"
    timed navgz "$lumerak" -r"$work/nav.gz"
    timed nav "$lumerak" -r"$work/nav.rnx"
    i=$((i + 1))
done

ratio() { paste "$1" "$2" | awk '{ print $1 / $2 }' > "$work/ratio.txt"; median_of "$work/ratio.txt"; }
printf 'observation day (%s bytes):       wall %s s, cpu %s s\n' "$(wc -c < DAY.rnx)" \
    "$(median_of obs.wall)" "$(median_of obs.cpu)"
printf 'navigation file, gzip (%s bytes): wall %s s, cpu %s s, ratio to the day: wall %s, cpu %s\n' \
    "$(wc -c < nav.gz)" "$(median_of navgz.wall)" "$(median_of navgz.cpu)" \
    "$(ratio navgz.wall obs.wall)" "$(ratio navgz.cpu obs.cpu)"
printf 'navigation file, plain (%s bytes): wall %s s, cpu %s s, ratio to the day: wall %s, cpu %s\n' \
    "$(wc -c < nav.rnx)" "$(median_of nav.wall)" "$(median_of nav.cpu)" \
    "$(ratio nav.wall obs.wall)" "$(ratio nav.cpu obs.cpu)"

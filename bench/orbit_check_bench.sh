#!/bin/sh
# Cost of the quality check (-i) with orbits against the same check without
# them, on generated 24-hour days of four systems (GPS, GLONASS, Galileo,
# BeiDou) with a real day's broadcast navigation file.
#
#   bench/orbit_check_bench.sh [BUILD_DIR] [RUNS] [INTERVALS]
#
# BUILD_DIR holds the built program and tools/obsgen/gen_observations
# (default: build); RUNS the timed runs of each check (default 5); INTERVALS
# the observation intervals in seconds (default "30 1"). Per interval: one
# generated day (gen_observations --rinex=3 --systems=4), its epochs moved to
# 25 June 2020, the day of tests/data/MOJN00DNK_R_20201770000_01D_MN.rnx.gz
# (a real mixed navigation file of five systems, 2730 ephemerides stored), is
# read into two campaigns, the second with the navigation file too. The
# generated satellites do not move as the real ones do: the check places
# them in the real sky all the same, so the cost is that of a real day (the
# completeness figures are meaningless). RUNS rounds of the two checks,
# interleaved; prints the median wall and processor times and their ratios
# with/without, in milliseconds. A check that takes some hundredths of a
# second is timed ten times in a row per round (the times shown are per
# check), as `time` counts in hundredths. The scratch folders are removed at the end.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
runs=${2:-5}
intervals=${3:-30 1}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
lumerak=${LUMERAK:-$build/front/lumerak}
gen=$build/tools/obsgen/gen_observations
nav=$repo/tests/data/MOJN00DNK_R_20201770000_01D_MN.rnx.gz
for tool in "$lumerak" "$gen" /usr/bin/time; do
    [ -x "$tool" ] || { echo "orbit_check_bench: $tool not found" >&2; exit 1; }
done
work=$(mktemp -d /tmp/lumerak-orbit-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
export TZ=Europe/Berlin
. "$repo/bench/common.sh"

echo "lumerak -i with and without orbits: $runs interleaved runs each, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
row='%9s %9s | %8s %8s %6s | %8s %8s %6s | %8s %8s\n'
printf "\n$row" interval obs ms_wo ms_with ratio cpu_ms_wo cpu_ms_w ratio KB_wo KB_with
for interval in $intervals; do
    plain=$work/plain$interval
    orbits=$work/orbits$interval
    mkdir -p "$plain" "$orbits"
    "$gen" "$plain/D.obs" "$plain/D.truth" --rinex=3 --systems=4 --interval="$interval" --hours=24 >/dev/null
    sed -i 's/^> 2021 03 01/> 2020 06 25/; s/^  2021     3     1     0     0    0.0000000     GPS/  2020     6    25     0     0    0.0000000     GPS/' "$plain/D.obs"
    (cd "$plain" && "$lumerak" -rD.obs >/dev/null && rm D.obs)
    cp "$plain"/zz* "$orbits"/
    cp "$nav" "$orbits"/
    (cd "$orbits" && "$lumerak" -r"$(basename "$nav")" >/dev/null)
    obs=$(awk '/^satellite_epochs/ { n += $3 } END { print n }' "$plain/D.truth")
    : > "$work/a"
    : > "$work/b"
    repeat=1
    [ "$interval" -ge 10 ] && repeat=10
    checks="k=0; while [ \$k -lt $repeat ]; do '$lumerak' -i >/dev/null || exit 1; k=\$((k + 1)); done"
    i=0
    while [ $i -lt "$runs" ]; do
        (cd "$plain" && timed "$work/a" sh -c "$checks")
        (cd "$orbits" && timed "$work/b" sh -c "$checks")
        i=$((i + 1))
    done
    for f in a b; do
        awk -v n="$repeat" '{ printf "%.2f %.2f %s\n", 1000 * $1 / n, 1000 * $2 / n, $3 }' "$work/$f" > "$work/$f.per"
        mv "$work/$f.per" "$work/$f"
    done
    wa=$(column "$work/a" 1) wb=$(column "$work/b" 1)
    ca=$(column "$work/a" 2) cb=$(column "$work/b" 2)
    ka=$(column "$work/a" 3) kb=$(column "$work/b" 3)
    printf "$row" "${interval}s" "$obs" "$wa" "$wb" "$(echo "$wb $wa" | awk '{ printf "%.2f", $1 / $2 }')" \
        "$ca" "$cb" "$(echo "$cb $ca" | awk '{ printf "%.2f", ($2 > 0) ? $1 / $2 : 0 }')" "$ka" "$kb"
    rm -rf "$plain" "$orbits"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

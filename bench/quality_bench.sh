#!/bin/sh
# Cost of the quality check (-i) against the listing (-s) of the same
# campaign, on realistic days of 1-second dual-frequency data.
#
#   bench/quality_bench.sh [BUILD_DIR] [RUNS] [CAMPAIGNS]
#
# BUILD_DIR holds the built program and tools/obsgen/gen_observations
# (default: build); RUNS the number of timed runs of each command (default
# 5); CAMPAIGNS a list of day counts (default "1 3"): campaign N holds N
# stations with one 24-hour day of 1-second RINEX 3 data each (GPS and
# Galileo, about 1.6 million observations a day), written by
# gen_observations with its injected slips, gaps and clock jump.
#
# Per campaign, after reading the files: RUNS rounds of one listing and one
# check, interleaved, so that the load of the shared machine falls on both
# alike. Prints the median wall and processor times, their ratio check/list,
# the microseconds per stored observation (level when the cost is linear in
# the campaign) and the peak resident set size of one run of each. The
# scratch folder (about 250 MB per day) is removed at the end.
#
# With BASELINE set to another lumerak (an earlier build), its check runs in
# the same rounds too, right after the check of this one, and gets a row of
# its own ("base"), against the same listing.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
runs=${2:-5}
campaigns=${3:-1 3}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
lumerak=${LUMERAK:-$build/front/lumerak}
gen=$build/tools/obsgen/gen_observations
baseline=${BASELINE:-}
for tool in "$lumerak" "$gen" /usr/bin/time ${baseline:+"$baseline"}; do
    [ -x "$tool" ] || { echo "quality_bench: $tool not found (build lumerak and gen_observations)" >&2; exit 1; }
done
work=$(mktemp -d /tmp/lumerak-quality-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
export TZ=Europe/Berlin
. "$repo/bench/common.sh"

echo "lumerak quality check against the listing: $runs interleaved runs each, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
row='%7s %9s | %7s %7s %6s | %7s %7s %6s | %7s %7s | %8s %8s\n'
printf "\n$row" days obs list_s check_s ratio list_cpu chk_cpu ratio list_us check_us list_KB check_KB
for days in $campaigns; do
    dir=$work/c$days
    mkdir -p "$dir"
    cd "$dir"
    d=1
    while [ $d -le "$days" ]; do
        file=$(printf 'QB%02d0600.21o' $d)
        "$gen" "$file" "$file.truth" --rinex=3 --interval=1 --hours=24 --seed=$d \
            --marker=$(printf 'QB%02d' $d)
        "$lumerak" -r"$file" >/dev/null 2>&1
        rm -f "$file"
        d=$((d + 1))
    done
    list_and_check_rounds
    for result in check.txt ${baseline:+base.txt}; do
        label=$days
        [ "$result" = check.txt ] || label="$days base"
        list_s=$(column list.txt 1)
        check_s=$(column $result 1)
        list_c=$(column list.txt 2)
        check_c=$(column $result 2)
        printf "$row" "$label" "$obs" "$list_s" "$check_s" \
            "$(awk -v a="$check_s" -v b="$list_s" 'BEGIN { printf "%.2f", a / b }')" \
            "$list_c" "$check_c" \
            "$(awk -v a="$check_c" -v b="$list_c" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')" \
            "$(awk -v t="$list_s" -v n="$obs" 'BEGIN { printf "%.3f", t * 1e6 / n }')" \
            "$(awk -v t="$check_s" -v n="$obs" 'BEGIN { printf "%.3f", t * 1e6 / n }')" \
            "$(column list.txt 3 | cut -d. -f1)" "$(column $result 3 | cut -d. -f1)"
    done
    cd "$work"
    rm -rf "$dir"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

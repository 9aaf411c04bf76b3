#!/bin/sh
# The observation table (-x) against the listing (-s) of the same campaign,
# and the listing and the pages (-g) of this build against another build
# (the cost of writing outputs all or nothing).
#
#   bench/table_bench.sh [BUILD_DIR] [RUNS] [OTHER_LUMERAK]
#
# The campaign is one generated day of 30-second data of 100 satellites
# (gen_rinex; about 110,000 observations). Each round times -s and -x one
# after the other, so both see the same load; the figures are medians of RUNS
# rounds (default 7) and the median of the per-round ratios. The peak memory
# of -x is given for that day and for a campaign of three such days, which
# must be the same (the table streams). With OTHER_LUMERAK (a build from
# before the outputs were written all or nothing) the rounds also time its
# -s and -g on the same campaign.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
runs=${2:-7}
other=${3:-}
. "$repo/bench/common.sh"
bench_setup table_bench "${1:-$repo/build}"

cd "$work"
for day in 0 1 2; do
    "$gen" "$work/DAY${day}0.26o" 24 30 100 L1,L2,C1,P2,P1 BNCH "$day"
done
"$lumerak" -rDAY00.26o >/dev/null 2>&1
rows=$(($("$lumerak" -xrows.csv >/dev/null 2>&1 && wc -l < rows.csv) - 1))

echo "lumerak -x against -s: $runs rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "campaign: one day of 30-second data, 100 satellites, $rows observations"

# time_once NAME COMMAND: wall seconds of one run, appended to $work/NAME.wall
time_once() {
    start=$(date +%s.%N)
    sh -c "$2" >/dev/null 2>&1
    stop=$(date +%s.%N)
    awk -v a="$start" -v b="$stop" 'BEGIN { print b - a }' >> "$work/$1.wall"
}

names="list table"
[ -n "$other" ] && names="$names list_other plot plot_other"
for name in $names; do : > "$work/$name.wall"; done
i=0
while [ $i -lt "$runs" ]; do
    time_once list "'$lumerak' -slist.txt"
    time_once table "'$lumerak' -xtable.csv"
    if [ -n "$other" ]; then
        time_once list_other "'$other' -slist.txt"
        time_once plot "'$lumerak' -g"
        time_once plot_other "'$other' -g"
    fi
    i=$((i + 1))
done

printf '\n%-34s %9s\n' "median wall time" seconds
printf '%-34s %9s\n' "-s (this build)" "$(median_of "$work/list.wall")"
printf '%-34s %9s\n' "-x (this build)" "$(median_of "$work/table.wall")"
printf '%-34s %9s\n' "ratio -x / -s (per round)" "$(ratio table list wall)"
if [ -n "$other" ]; then
    printf '%-34s %9s\n' "-s (other build)" "$(median_of "$work/list_other.wall")"
    printf '%-34s %9s\n' "ratio -s this / other" "$(ratio list list_other wall)"
    printf '%-34s %9s\n' "-g (this build)" "$(median_of "$work/plot.wall")"
    printf '%-34s %9s\n' "-g (other build)" "$(median_of "$work/plot_other.wall")"
    printf '%-34s %9s\n' "ratio -g this / other" "$(ratio plot plot_other wall)"
fi

# Peak memory of -x: one day, then three days in the campaign.
peak() { /usr/bin/time -f '%M' -o "$work/m.txt" "$lumerak" -xpeak.csv >/dev/null 2>&1; cat "$work/m.txt"; }
one=$(peak)
"$lumerak" -rDAY10.26o >/dev/null 2>&1
"$lumerak" -rDAY20.26o >/dev/null 2>&1
three=$(peak)
printf '\npeak memory of -x (KiB): one day %s, three days %s (%s rows)\n' "$one" "$three" \
    "$(($(wc -l < peak.csv) - 1))"

#!/bin/sh
# Cost of the quality check with its baselines (-i) against the listing (-s)
# of a campaign of 100 station-days: 10 stations observing the same 10 days,
# 24 hours of 30-second data with 10 satellites each (gen_rinex), so that
# every day gives 45 baselines.
#
#   bench/baselines_bench.sh [BUILD_DIR] [RUNS]
#
# After reading the files: RUNS rounds of one listing and one check,
# interleaved, so that the load of the shared machine falls on both alike;
# with BASELINE set to another lumerak (an earlier build), its check runs in
# the same rounds too. Prints the median wall and processor times, the ratio
# check/list (and base/list), and the peak resident set size of each. Then
# the overview page of the campaign (zzCAMPAIGN.ps) alone, by overview_bench
# in the same folder: medians of RUNS repetitions, with one shade (-g) and
# shaded by check figures (-g -i).
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
runs=${2:-5}
. "$repo/bench/common.sh"
bench_setup baselines_bench "${1:-$repo/build}"
baseline=${BASELINE:-}

cd "$work"
for s in 1 2 3 4 5 6 7 8 9 10; do
    for d in 0 1 2 3 4 5 6 7 8 9; do
        station=$(printf 'ST%02d' $s)
        file=$(printf '%s%03d0.26o' $station $((334 + d)))
        "$gen" "$file" 24 30 10 L1,L2,C1,P2,P1 $station $d
        "$lumerak" -r"$file" >/dev/null 2>&1
        rm -f "$file"
    done
done
list_and_check_rounds
echo "lumerak -i with baselines against -s: 100 station-days, $obs observations, $runs interleaved runs, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
row='%-6s %8s %8s %6s | %8s %8s %6s | %8s\n'
printf "$row" what wall_s list_s ratio cpu_s list_cpu ratio peak_KB
for result in check.txt ${baseline:+base.txt}; do
    wall=$(column $result 1)
    cpu=$(column $result 2)
    list_wall=$(column list.txt 1)
    list_cpu=$(column list.txt 2)
    printf "$row" "${result%.txt}" "$wall" "$list_wall" \
        "$(awk -v a="$wall" -v b="$list_wall" 'BEGIN { printf "%.2f", a / b }')" "$cpu" "$list_cpu" \
        "$(awk -v a="$cpu" -v b="$list_cpu" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')" \
        "$(column $result 3 | cut -d. -f1)"
done
printf "$row" list "$(column list.txt 1)" - - "$(column list.txt 2)" - - "$(column list.txt 3 | cut -d. -f1)"
"$lumerak" -i 2>/dev/null | tail -n 1
"$build/bench/overview_bench" --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -e median -e Benchmark

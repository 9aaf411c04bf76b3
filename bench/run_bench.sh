#!/bin/sh
# Load measurements of the four commands on synthetic observation files.
#
#   bench/run_bench.sh [BUILD_DIR] [RUNS] [HOURS]
#
# BUILD_DIR holds the built program and generator (default: build); RUNS is
# the number of timed runs per command (default 5); HOURS the file lengths
# (default "1 6 24"). For each length, in hours of
# 1-second data from 10 satellites with five observation types the script
# generates a file with gen_rinex and times, each in a scratch folder:
#   read    lumerak -r<file>   into an empty database (removed before every run)
#   list    lumerak -s<file>   of the database that file gave
#   export  lumerak -a<name>
#   plot    lumerak -g         (one occupation, so one page)
# Times are medians of RUNS runs (hyperfine when installed, otherwise a shell
# loop around date +%s.%N); peak memory is the maximum resident set size of
# one further run, from /usr/bin/time -f %M. A second table gives the median
# times per stored observation, to see whether they grow linearly. The scratch
# folder, with the generated files and databases, is removed at the end.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
runs=${2:-5}
hour_list=${3:-1 6 24}
. "$repo/bench/common.sh"
bench_setup run_bench "$build"

# peak PREPARE COMMAND: maximum resident set size in KB of one run.
peak() {
    sh -c "$1"
    /usr/bin/time -f %M -o "$work/m.txt" sh -c "exec $2" >/dev/null 2>&1
    tail -n 1 "$work/m.txt"
}

echo "lumerak load measurements: $runs runs per command ($timer), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
row='%5s %9s %5s | %8s %8s %8s %8s | %8s %8s %8s %8s\n'
printf "\n$row" hours obs MB read_s list_s export_s plot_s read_KB list_KB exp_KB plot_KB
: > "$work/per_obs.txt"
for hours in $hour_list; do
    dir=$work/h$hours
    mkdir "$dir"
    cd "$dir"
    file=BNCH0010.26o
    "$gen" "$file" "$hours" 1 10 L1,L2,C1,P2,P1
    mb=$(du -m "$file" | cut -f1)
    clean='rm -f zz*.DAT zz*.ID0'
    read_s=$(median "$clean" "$lumerak -r$file")
    read_kb=$(peak "$clean" "$lumerak -r$file")
    # The database the timed commands below work on.
    sh -c "$clean"
    obs=$("$lumerak" -r$file 2>/dev/null | sed -n 's/^Es wurden \([0-9]*\) Eintraege.*/\1/p')
    list_s=$(median true "$lumerak -sBENCH.LST")
    list_kb=$(peak true "$lumerak -sBENCH.LST")
    export_s=$(median true "$lumerak -aBENCH")
    export_kb=$(peak true "$lumerak -aBENCH")
    plot_s=$(median true "$lumerak -g")
    plot_kb=$(peak true "$lumerak -g")
    printf "$row" "$hours" "$obs" "$mb" "$read_s" "$list_s" "$export_s" "$plot_s" \
        "$read_kb" "$list_kb" "$export_kb" "$plot_kb"
    awk -v h="$hours" -v n="$obs" -v r="$read_s" -v l="$list_s" -v p="$plot_s" 'BEGIN {
        printf "%5s %9s | %8.3f %8.3f %8.3f\n", h, n, r / n * 1e6, l / n * 1e6, p / n * 1e6 }' \
        >> "$work/per_obs.txt"
    cd "$work"
    rm -rf "$dir"
done
printf '\nmicroseconds per stored observation\n%5s %9s | %8s %8s %8s\n' hours obs read list plot
cat "$work/per_obs.txt"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

# Shared by the benchmark scripts (sourced, not run): the set-up of a run,
# the median wall time of several runs of a command, and the median processor
# time (user + system, children included) of the same runs, which a busy
# shared machine disturbs less.

# bench_setup NAME BUILD_DIR: $lumerak ($LUMERAK when set), $gen and a
# scratch folder $work that is removed at the end; TZ as the tests set it.
bench_setup() {
    build=$2
    case $build in /*) ;; *) build=$(pwd)/$build ;; esac
    lumerak=${LUMERAK:-$build/front/lumerak}
    gen=$build/bench/gen_rinex
    for tool in "$lumerak" "$gen" /usr/bin/time; do
        [ -x "$tool" ] || { echo "$1: $tool not found (build lumerak and gen_rinex first)" >&2; exit 1; }
    done
    work=$(mktemp -d "/tmp/lumerak-$1-XXXXXX")
    trap 'rm -rf "$work"' EXIT INT TERM
    export TZ=Europe/Berlin
}

if command -v hyperfine >/dev/null 2>&1; then timer=hyperfine; else timer=loop; fi

# median_of FILE: median of the numbers in FILE, three decimals.
median_of() {
    sort -n "$1" | awk '{ v[NR] = $1 } END {
        m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m }'
}

# median PREPARE COMMAND (needs $runs): median wall time in seconds of RUNS runs of COMMAND
# in the current folder, PREPARE run before each of them (untimed). The
# processor times of the runs are left for cpu_median (loop timer only).
median() {
    if [ $timer = hyperfine ]; then
        hyperfine --style none --runs "$runs" --prepare "$1" --export-csv "$work/t.csv" "$2" \
            >/dev/null 2>&1
        awk -F, 'NR == 2 { printf "%.3f", $4 }' "$work/t.csv"
        awk -F, 'NR == 2 { printf "%.3f\n", $5 + $6 }' "$work/t.csv" > "$work/c.txt"
    else
        i=0
        : > "$work/t.txt"
        : > "$work/c.txt"
        while [ $i -lt "$runs" ]; do
            sh -c "$1"
            start=$(date +%s.%N)
            /usr/bin/time -f '%U %S' -o "$work/r.txt" sh -c "$2" >/dev/null 2>&1
            stop=$(date +%s.%N)
            awk -v a="$start" -v b="$stop" 'BEGIN { print b - a }' >> "$work/t.txt"
            awk 'END { print $1 + $2 }' "$work/r.txt" >> "$work/c.txt"
            i=$((i + 1))
        done
        median_of "$work/t.txt"
    fi
}

# cpu_median: median processor time in seconds of the runs of the last median.
cpu_median() { median_of "$work/c.txt"; }

# ratio A B KIND: median of the per-round ratios of A's to B's KIND figures,
# from the files $work/A.KIND and $work/B.KIND (one figure per line and round).
ratio() {
    paste "$work/$1.$3" "$work/$2.$3" | awk '{ print $1 / $2 }' > "$work/q.txt"
    median_of "$work/q.txt"
}

# timed OUT COMMAND...: appends "wall cpu peak_kb" of one run of COMMAND to
# OUT (needs $work).
timed() {
    out=$1
    shift
    /usr/bin/time -f '%e %U %S %M' -o "$work/t" "$@" >/dev/null 2>&1
    awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/t" >> "$out"
}

# column FILE N: median of column N of FILE, three decimals (needs $work).
column() { awk -v c="$2" '{ print $c }' "$1" > "$work/col"; median_of "$work/col"; }

# list_and_check_rounds: in the current folder (a campaign), the check once to
# warm the page cache, then $runs interleaved rounds of the listing
# (-sBENCH.LST) and the check (-i) of $lumerak, and of $baseline's check when
# it is set: one line per round in list.txt, check.txt and base.txt (see
# timed). Sets $obs to the number of stored observations.
list_and_check_rounds() {
    obs=$(( $(stat -c %s zzOBS.DAT) / 72 - 1 ))
    "$lumerak" -i >/dev/null 2>&1
    : > list.txt
    : > check.txt
    : > base.txt
    i=0
    while [ $i -lt "$runs" ]; do
        timed list.txt "$lumerak" -sBENCH.LST
        timed check.txt "$lumerak" -i
        [ -z "$baseline" ] || timed base.txt "$baseline" -i
        i=$((i + 1))
    done
}

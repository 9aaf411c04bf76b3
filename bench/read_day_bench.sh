#!/bin/sh
# The read of a day of 1-second data into an existing campaign, against a
# peer converter reading the same file, and the listing of that day.
#
#   bench/read_day_bench.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR holds lumerak and gen_rinex (default: build); ROUNDS the number
# of rounds (default 7). LUMERAK_BEFORE names another lumerak (the program
# before a change) that runs the same steps in every round. PEER is the peer's
# command without its input file (default "convbin -r rinex -d <folder>",
# RTKLIB's converter, which reads the RINEX file and writes it again; left out
# when convbin is not installed).
#
# Files (scratch folder below /tmp, removed at the end): the campaign is
# gen_rinex of one hour of 1-second data read into an empty folder; the day is
# gen_rinex BNCH0010.26o 24 1 (864,000 observations, 75 MB). Every round runs,
# one after the other: the peer on the day; then for each program the read of
# the day into a copy of the campaign (lumerak -r, journaled and synced as
# every read) and the listing of the database it made (lumerak -s). Wall time
# from date +%s%N around /usr/bin/time; CPU (user + system) and peak resident
# set size from /usr/bin/time. Figures are medians over the rounds; a ratio is
# the median of the per-round ratios, so that both sides of it ran side by side.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
runs=${2:-7}
. "$repo/bench/common.sh"
bench_setup read_day_bench "$build"
before=${LUMERAK_BEFORE:-}
if [ -z "${PEER+set}" ]; then
    PEER=""
    command -v convbin >/dev/null 2>&1 && PEER="convbin -r rinex -d $work/peer"
fi

cd "$work"
mkdir campaign peer db
"$gen" base.o 1 1 >/dev/null
"$gen" BNCH0010.26o 24 1 >/dev/null
(cd campaign && "$lumerak" -r../base.o >/dev/null 2>&1)

# timed NAME COMMAND...: one run in the current folder; appends wall, CPU and
# peak memory to the files of NAME.
timed() {
    name=$1
    shift
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S %M' -o "$work/r.txt" "$@" >/dev/null 2>&1
    stop=$(date +%s%N)
    echo "$start $stop" | awk '{ printf "%.4f\n", ($2 - $1) / 1e9 }' >> "$work/$name.wall"
    awk 'END { print $1 + $2 }' "$work/r.txt" >> "$work/$name.cpu"
    awk 'END { print $3 }' "$work/r.txt" >> "$work/$name.kb"
}

# read_and_list SIDE PROGRAM: the day read into the campaign, then listed.
read_and_list() {
    rm -f db/* && cp campaign/* db/ && cd db
    timed "read$1" "$2" -r"$work/BNCH0010.26o"
    timed "list$1" "$2" -sDAY.LST
    cd "$work"
}

# The programs must make the same database of the day.
if [ -n "$before" ]; then
    for side in new old; do
        program=$lumerak
        [ $side = new ] || program=$before
        mkdir "check_$side" && cp campaign/* "check_$side"/
        (cd "check_$side" && "$program" -r"$work/BNCH0010.26o" >/dev/null 2>&1)
    done
    for f in check_new/zz*; do
        cmp -s "$f" "check_old/$(basename "$f")" ||
            { echo "read_day_bench: $(basename "$f") differs between the programs" >&2; exit 1; }
    done
    rm -rf check_new check_old
fi

echo "lumerak day read into a campaign: $runs rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "peer: ${PEER:-none}"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
round=0
while [ $round -lt "$runs" ]; do
    if [ -n "$PEER" ]; then
        rm -rf peer/*
        # shellcheck disable=SC2086 # the peer command is split into its words
        timed peer $PEER "$work/BNCH0010.26o"
    fi
    read_and_list "" "$lumerak"
    [ -z "$before" ] || read_and_list "@before" "$before"
    round=$((round + 1))
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

row='%-14s %8s %8s %9s\n'
printf "\n$row" step wall_s cpu_s peak_KB
for n in peer read list read@before list@before; do
    [ -f "$n.wall" ] || continue
    printf "$row" "$n" "$(median_of "$n.wall")" "$(median_of "$n.cpu")" \
        "$(median_of "$n.kb" | cut -d. -f1)"
done
printf '\nratios (median of the rounds), wall and CPU:\n'
if [ -n "$PEER" ]; then
    echo "peer / read:          $(ratio peer read wall)  $(ratio peer read cpu)"
    [ -z "$before" ] || echo "peer / read@before:   $(ratio peer read@before wall)  $(ratio peer read@before cpu)"
fi
if [ -n "$before" ]; then
    echo "read / read@before:   $(ratio read read@before wall)  $(ratio read read@before cpu)"
    echo "list / list@before:   $(ratio list list@before wall)  $(ratio list list@before cpu)"
    echo "list@before / read@before: $(ratio list@before read@before wall)  $(ratio list@before read@before cpu)"
fi
echo "list / read:          $(ratio list read wall)  $(ratio list read cpu)"

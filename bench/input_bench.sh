#!/bin/sh
# Speed and memory of reading the same observations in different wrappings:
# gzip and Unix compress against the plain file, compact RINEX against plain
# text, RINEX 3 against RINEX 2, and optionally a real gzip file against its
# decompressed text.
#
#   bench/input_bench.sh [BUILD_DIR] [RUNS] [REAL.gz]
#
# BUILD_DIR holds lumerak and gen_rinex (default: build); RUNS the rounds
# (default 9); REAL.gz a gzip-compressed observation file, read against its
# own decompressed copy. With LUMERAK_BEFORE set to another lumerak, every
# case is also read by that program in the same round (before and after).
# CASES="real_plain real_gzip" (say) runs only the cases named; a case needs
# its reference named too. Files of cases that do not run are not made.
#
# The files (scratch folder below /tmp, removed at the end):
#   1 s day    gen_rinex BNCH0010.26o 24 1 (72 MB), its gzip -6 and compress
#              copies, gen_rinex -c of the same day, gen_rinex -3 of it
#   30 s day   gen_rinex BNCH0010.26o 24 30 and gen_rinex -c of it
# Every case runs once per round, all cases of a round one after the other,
# so that the two sides of a ratio always run side by side; each ratio is the
# median of the per-round ratios. Each run reads into an empty database:
# wall time from date +%s%N around /usr/bin/time (which costs both sides of
# a ratio the same millisecond or so), CPU time (user + system) and peak
# resident set size (%M) from /usr/bin/time.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
runs=${2:-9}
real=${3:-}
. "$repo/bench/common.sh"
bench_setup input_bench "$build"
before=${LUMERAK_BEFORE:-}

cd "$work"
mkdir d1 d30 r3 crx1 crx30 db
wanted() { case " ${CASES:-$1} " in *" $1 "*) return 0 ;; esac; return 1; }
wanted plain_1s && "$gen" d1/BNCH0010.26o 24 1
wanted gzip_1s && gzip -6 -c d1/BNCH0010.26o > d1/BNCH0010.26o.gz
if ! command -v compress >/dev/null 2>&1; then
    echo "compress not installed: no .Z case" >&2
elif wanted compress_1s; then
    compress -c d1/BNCH0010.26o > d1/BNCH0010.26o.Z
fi
wanted compact_1s && "$gen" -c crx1/BNCH0010.26d 24 1
wanted rinex3_1s && "$gen" -3 r3/BNCH00XXX_R_20263340000_01D_01S_MO.rnx 24 1
wanted plain_30s && "$gen" d30/BNCH0010.26o 24 30
wanted compact_30s && "$gen" -c crx30/BNCH0010.26d 24 30
if [ -n "$real" ]; then
    mkdir real
    cp "$real" real/
    real_gz=$work/real/$(basename "$real")
    gunzip -c "$real_gz" > "${real_gz%.gz}"
fi

# case NAME FILE REFERENCE: the cases in the order they run in a round
# (only those named in $CASES, with their references, when it is set).
: > cases.txt
add_case() {
    case " ${CASES:-$1} " in *" $1 "*) echo "$1 $2 $3" >> cases.txt ;; esac
}
add_case plain_1s "$work/d1/BNCH0010.26o" -
add_case gzip_1s "$work/d1/BNCH0010.26o.gz" plain_1s
[ ! -f d1/BNCH0010.26o.Z ] || add_case compress_1s "$work/d1/BNCH0010.26o.Z" plain_1s
add_case compact_1s "$work/crx1/BNCH0010.26d" plain_1s
add_case rinex3_1s "$work/r3/BNCH00XXX_R_20263340000_01D_01S_MO.rnx" plain_1s
add_case plain_30s "$work/d30/BNCH0010.26o" -
add_case compact_30s "$work/crx30/BNCH0010.26d" plain_30s
if [ -n "$real" ]; then
    add_case real_plain "${real_gz%.gz}" -
    add_case real_gzip "$real_gz" real_plain
fi

# One read of FILE by PROGRAM into an empty database; appends wall, CPU and
# peak memory to the files of case NAME.
read_once() {
    rm -rf "$work/db" && mkdir "$work/db" && cd "$work/db"
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S %M' -o "$work/r.txt" "$3" -r"$2" >/dev/null 2>&1
    stop=$(date +%s%N)
    cd "$work"
    echo "$start $stop" | awk '{ printf "%.4f\n", ($2 - $1) / 1e9 }' >> "$1.wall"
    awk 'END { print $1 + $2 }' r.txt >> "$1.cpu"
    awk 'END { print $3 }' r.txt >> "$1.kb"
}

# The compact days must give the observations of their plain twins.
check_twin() {
    for f in "$1" "$2"; do
        rm -rf "$work/db_$3_$(basename "$f")" && mkdir "$work/db_$3_$(basename "$f")"
        (cd "$work/db_$3_$(basename "$f")" && "$lumerak" -r"$f" >/dev/null 2>&1)
    done
    for t in zzOBS.DAT zzSAT.DAT zzSATOCC.DAT; do
        cmp -s "$work/db_$3_$(basename "$1")/$t" "$work/db_$3_$(basename "$2")/$t" ||
            { echo "input_bench: $2 does not give the $t of $1" >&2; exit 1; }
    done
    rm -rf "$work"/db_"$3"_*
}
if wanted compact_1s; then check_twin "$work/d1/BNCH0010.26o" "$work/crx1/BNCH0010.26d" 1; fi
if wanted compact_30s; then check_twin "$work/d30/BNCH0010.26o" "$work/crx30/BNCH0010.26d" 30; fi

echo "lumerak input measurements: $runs rounds, $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
round=0
while [ $round -lt "$runs" ]; do
    while read -r name file ref; do
        read_once "$name" "$file" "$lumerak"
        [ -n "$before" ] && read_once "$name@before" "$file" "$before"
    done < cases.txt
    round=$((round + 1))
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

row='%-12s %6s %-7s %7s %7s %8s %-22s %9s\n'
printf "\n$row" case MB program wall_s cpu_s peak_KB "wall ratio (of)" "cpu ratio"
while read -r name file ref; do
    for side in "" "@before"; do
        [ -z "$side" ] || [ -n "$before" ] || continue
        n=$name$side
        if [ "$ref" = - ]; then
            rw=""
            rc=""
        else
            rw="$(ratio "$n" "$ref$side" wall) ($ref)"
            rc=$(ratio "$n" "$ref$side" cpu)
        fi
        mb=$(stat -c %s "$file" | awk '{ printf "%.1f", $1 / 1e6 }')
        printf "$row" "$name" "$mb" "${side:-after}" "$(median_of "$n.wall")" \
            "$(median_of "$n.cpu")" "$(median_of "$n.kb" | cut -d. -f1)" "$rw" "$rc"
        if [ -n "$side" ]; then
            printf "$row" "$name" "" "aft/bef" "" "" "" "$(ratio "$name" "$n" wall)" \
                "$(ratio "$name" "$n" cpu)"
        fi
    done
done < cases.txt

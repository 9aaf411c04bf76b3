#!/bin/sh
# Cost per observation of the four commands on whole campaigns.
#
#   bench/campaign_bench.sh [BUILD_DIR] [RUNS] [CAMPAIGNS]
#
# BUILD_DIR holds the built program and generator (default: build); RUNS the
# number of timed runs per figure (default 3); CAMPAIGNS a list of names
# (default "sd5 sd40 sd100 hz3"):
#   sd5    5 stations, 1 day each          (5 station-days of 30-second data)
#   sd10   5 stations, 2 days each         (10 station-days)
#   sd20   5 stations, 4 days each         (20 station-days)
#   sd40   8 stations, 5 days each         (40 station-days)
#   sd100  10 stations, 10 days each       (100 station-days)
#   hz3    1 station, 3 days of 1-second data
# Every file has 10 satellites and five observation types (gen_rinex). The
# files are read station by station, day by day, one run of lumerak -r per
# file, into one database; then the listing (-s), the export (-a) and the
# plot of every occupation (-g) are timed on it. Each figure is the median of
# RUNS runs, divided by the number of stored observations.
#
# For the largest 30-second campaign (or the campaign named by $single_of) the
# script also times -g -t<station> for the station read last, against the
# same page in a database that holds only that station's first file.
# $LUMERAK names another build of the program to measure (for comparisons).
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
runs=${2:-3}
campaigns=${3:-sd5 sd40 sd100 hz3}
. "$repo/bench/common.sh"
bench_setup campaign_bench "$build"

# generate NAME STATIONS DAYS RATE: the campaign's files into $work/NAME/files
# and the reading order into $work/NAME/order.
generate() {
    mkdir -p "$work/$1/files"
    : > "$work/$1/order"
    s=1
    while [ $s -le "$2" ]; do
        d=0
        while [ $d -lt "$3" ]; do
            station=$(printf 'ST%02d' $s)
            file=$(printf '%s%03d0.26o' $station $((334 + d)))
            "$gen" "$work/$1/files/$file" 24 "$4" 10 L1,L2,C1,P2,P1 $station $d
            echo "$file" >> "$work/$1/order"
            d=$((d + 1))
        done
        s=$((s + 1))
    done
}

echo "lumerak campaign measurements: $runs runs per figure ($timer), $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
row='%6s %5s %9s | %8s %8s %8s %8s | %8s %8s %8s %8s\n'
printf "\nwall time: seconds, and microseconds per stored observation\n"
printf "$row" name files obs read_s list_s export_s plot_s read_us list_us exp_us plot_us
: > "$work/single.txt"
: > "$work/cpu.txt"
for name in $campaigns; do
    case $name in
    sd5) generate $name 5 1 30 ;;
    sd10) generate $name 5 2 30 ;;
    sd20) generate $name 5 4 30 ;;
    sd40) generate $name 8 5 30 ;;
    sd100) generate $name 10 10 30 ;;
    hz3) generate $name 1 3 1 ;;
    *) echo "campaign_bench: unknown campaign $name" >&2; exit 1 ;;
    esac
    dir=$work/$name
    cd "$dir"
    ln -s files/* .
    files=$(wc -l < order)
    read_all="for f in \$(cat order); do $lumerak -r\$f || exit 1; done"
    clean='rm -f zz*.DAT zz*.ID0'
    # One untimed read first, so that the first campaign measured does not
    # pay for a cold machine.
    sh -c "$read_all" >/dev/null 2>&1
    read_s=$(median "$clean" "$read_all")
    read_c=$(cpu_median)
    sh -c "$clean"
    sh -c "$read_all" >/dev/null 2>&1
    obs=$(( $(stat -c %s zzOBS.DAT) / 72 - 1 ))
    list_s=$(median true "$lumerak -sBENCH.LST")
    list_c=$(cpu_median)
    export_s=$(median true "$lumerak -aBENCH")
    export_c=$(cpu_median)
    plot_s=$(median 'rm -f *.ps' "$lumerak -g")
    plot_c=$(cpu_median)
    awk -v row="$row" -v name=$name -v f=$files -v n=$obs -v r=$read_s -v l=$list_s \
        -v e=$export_s -v p=$plot_s 'BEGIN {
        printf row, name, f, n, r, l, e, p, sprintf("%.3f", r / n * 1e6), sprintf("%.3f", l / n * 1e6),
               sprintf("%.4f", e / n * 1e6), sprintf("%.3f", p / n * 1e6) }'
    awk -v row="$row" -v name=$name -v f=$files -v n=$obs -v r=$read_c -v l=$list_c \
        -v e=$export_c -v p=$plot_c 'BEGIN {
        printf row, name, f, n, r, l, e, p, sprintf("%.3f", r / n * 1e6), sprintf("%.3f", l / n * 1e6),
               sprintf("%.4f", e / n * 1e6), sprintf("%.3f", p / n * 1e6) }' >> "$work/cpu.txt"
    if [ $name = "${single_of:-sd100}" ]; then
        last=$(tail -n 1 order | cut -c1-4)
        first_of_last=$(grep "^$last" order | head -n 1)
        in_campaign=$(median 'rm -f *.ps' "$lumerak -g -t$last")
        in_campaign_c=$(cpu_median)
        mkdir alone
        cd alone
        ln -s ../files/$first_of_last .
        "$lumerak" -r$first_of_last >/dev/null 2>&1
        alone_s=$(median 'rm -f *.ps' "$lumerak -g -t$last")
        alone_c=$(cpu_median)
        alone_page=$(grep -v -e QOR-VELD -e CreationDate $last*.ps)
        campaign_page=$(grep -v -e QOR-VELD -e CreationDate ../$last*.ps)
        [ "$alone_page" = "$campaign_page" ] && same=same || same=differs
        echo "$name $last $in_campaign $alone_s $same $in_campaign_c $alone_c" >> "$work/single.txt"
    fi
    cd "$work"
    rm -rf "$dir"
done
printf "\nprocessor time (user + system): seconds, and microseconds per stored observation\n"
printf "$row" name files obs read_s list_s export_s plot_s read_us list_us exp_us plot_us
cat "$work/cpu.txt"
if [ -s "$work/single.txt" ]; then
    printf '\n-g -t of the station read last: seconds in the campaign and alone\n'
    awk '{ printf "%s -t%s: wall campaign %s s, alone %s s, ratio %.2f; processor campaign %s s, alone %s s, ratio %.2f (page %s apart from the date)\n",
           $1, $2, $3, $4, $3 / $4, $6, $7, ($7 > 0 ? $6 / $7 : 0), $5 }' "$work/single.txt"
fi
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

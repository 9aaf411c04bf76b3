#!/bin/sh
# How well the quality check finds what tools/obsgen/gen_observations put in,
# over several seeds of each kind of file.
#
#   bench/quality_detection.sh [BUILD_DIR] [SEEDS]
#
# BUILD_DIR holds the built program and gen_observations (default: build);
# SEEDS the number of files of each kind (default 10). The kinds: RINEX 2
# GPS and RINEX 3 GPS + Galileo, 24 hours of 30-second data and 2 hours of
# 1-second data. Each file is read with `lumerak -r<file> -i` in a folder of
# its own, and zzSLIPS.csv and zzQC.csv are compared with the truth file:
#   found     injected slips (and flagged ones) with a row of their satellite
#             within one interval of their epoch
#   false     other slip rows, also per 10,000 satellite-epochs
#   clock     files whose one clock jump came out as exactly one clock row at
#             its epoch
#   mp        largest difference of MP1 or MP2 RMS from the truth, in percent
# The scratch folder is removed at the end.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
seeds=${2:-10}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
lumerak=${LUMERAK:-$build/front/lumerak}
gen=$build/tools/obsgen/gen_observations
for tool in "$lumerak" "$gen"; do
    [ -x "$tool" ] || { echo "quality_detection: $tool not found" >&2; exit 1; }
done
work=$(mktemp -d /tmp/lumerak-quality-detection-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
export TZ=UTC

# compare DIR: one line "injected found false satellite_epochs clock_ok mp_error".
compare() {
    awk -F'[ ,]' '
    function seconds(e) {  # YYYY-MM-DDThh:mm:ss.sss, within one month
        return substr(e, 9, 2) * 86400 + substr(e, 12, 2) * 3600 + substr(e, 15, 2) * 60 + substr(e, 18)
    }
    FILENAME ~ /truth$/ {
        if ($1 == "interval") interval = $2
        # A flag without lost cycles ("lli ... 0 0") is no slip.
        if ($1 == "slip" || ($1 == "lli" && ($4 != 0 || $5 != 0))) { sat[++n] = $2; at[n] = seconds($3) }
        if ($1 == "clock") clock = $2
        if ($1 == "satellite_epochs") epochs += $3
        if ($1 == "mp") { mp1[$2] = $3; mp2[$2] = $4 }
        next
    }
    FILENAME ~ /SLIPS/ && FNR > 1 {
        if ($5 == "clock") { clocks++; if ($4 == clock) clock_right++; next }
        rows++; row_sat[rows] = $3; row_at[rows] = seconds($4)
        next
    }
    FILENAME ~ /QC/ && FNR > 1 {
        for (k = 20; k <= 21; k++) {
            truth = k == 20 ? mp1[$4] : mp2[$4]
            if (truth > 0 && $k != "") {
                d = ($k - truth) / truth * 100; if (d < 0) d = -d
                if (d > worst) worst = d
            }
        }
    }
    END {
        for (i = 1; i <= n; i++)
            for (r = 1; r <= rows; r++)
                if (!used[r] && row_sat[r] == sat[i] &&
                    row_at[r] - at[i] <= interval && at[i] - row_at[r] <= interval) {
                    used[r] = 1; found++; break
                }
        printf "%d %d %d %d %d %.1f\n", n, found, rows - found, epochs,
            (clocks == 1 && clock_right == 1), worst
    }' "$1/F.truth" "$1/zzSLIPS.csv" "$1/zzQC.csv"
}

echo "lumerak quality check on generated files: $seeds seeds of each kind, $(date -u '+%Y-%m-%d %H:%M UTC')"
row='%-28s | %8s %6s %6s %10s %12s | %6s %7s\n'
printf "\n$row" kind injected found false sat_epochs false_per_10k clock mp_%
for kind in "RINEX 2, 30 s, 24 h:--rinex=2 --interval=30 --hours=24" \
            "RINEX 3, 30 s, 24 h:--rinex=3 --interval=30 --hours=24" \
            "RINEX 2, 1 s, 2 h:--rinex=2 --interval=1 --hours=2" \
            "RINEX 3, 1 s, 2 h:--rinex=3 --interval=1 --hours=2"; do
    name=${kind%%:*}
    options=${kind#*:}
    : > "$work/results"
    seed=1
    while [ $seed -le "$seeds" ]; do
        dir=$work/s$seed
        mkdir -p "$dir"
        # shellcheck disable=SC2086
        "$gen" "$dir/F.obs" "$dir/F.truth" $options --seed=$seed
        (cd "$dir" && "$lumerak" -rF.obs -i >/dev/null 2>&1)
        compare "$dir" >> "$work/results"
        rm -rf "$dir"
        seed=$((seed + 1))
    done
    awk -v name="$name" -v row="$row" '
        { n += $1; found += $2; false_ += $3; epochs += $4; clock += $5; if ($6 > mp) mp = $6 }
        END { printf row, name, n, found, false_, epochs, sprintf("%.2f", false_ / epochs * 10000),
                  clock "/" NR, sprintf("%.1f", mp) }' "$work/results"
done

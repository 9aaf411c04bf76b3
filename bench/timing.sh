# Shared by the benchmark scripts (sourced, not run): the median wall time of
# several runs of a command. Needs $work (a scratch folder) and $runs.

if command -v hyperfine >/dev/null 2>&1; then timer=hyperfine; else timer=loop; fi

# median PREPARE COMMAND: median wall time in seconds of RUNS runs of COMMAND
# in the current folder, PREPARE run before each of them (untimed).
median() {
    if [ $timer = hyperfine ]; then
        hyperfine --style none --runs "$runs" --prepare "$1" --export-csv "$work/t.csv" "$2" \
            >/dev/null 2>&1
        awk -F, 'NR == 2 { printf "%.3f", $4 }' "$work/t.csv"
    else
        i=0
        : > "$work/t.txt"
        while [ $i -lt "$runs" ]; do
            sh -c "$1"
            start=$(date +%s.%N)
            sh -c "$2" >/dev/null 2>&1
            stop=$(date +%s.%N)
            awk -v a="$start" -v b="$stop" 'BEGIN { print b - a }' >> "$work/t.txt"
            i=$((i + 1))
        done
        sort -n "$work/t.txt" | awk '{ v[NR] = $1 } END {
            m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f", m }'
    fi
}

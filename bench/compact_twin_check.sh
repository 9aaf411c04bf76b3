#!/bin/sh
# Checks the compact output of the generator: one hour of 1-second data with
# 14 satellites (epoch lines with a continuation) written plain and as compact
# RINEX 1.0 under the same file name in two folders must give byte for byte
# the same record files when read.
#   compact_twin_check.sh GEN_RINEX LUMERAK
set -eu
gen=$1
lumerak=$2
work=$(mktemp -d /tmp/lumerak-twin-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
export TZ=Europe/Berlin
mkdir "$work/plain" "$work/compact" "$work/db_plain" "$work/db_compact"
"$gen" "$work/plain/BNCH0010.26o" 1 1 14
"$gen" -c "$work/compact/BNCH0010.26o" 1 1 14
head -1 "$work/compact/BNCH0010.26o" | grep -q "COMPACT RINEX FORMAT"
(cd "$work/db_plain" && "$lumerak" -r"$work/plain/BNCH0010.26o" >/dev/null)
(cd "$work/db_compact" && "$lumerak" -r"$work/compact/BNCH0010.26o" >/dev/null)
# Both reads must have stored observations, and the same ones.
[ -s "$work/db_plain/zzOBS.DAT" ]
diff -r "$work/db_plain" "$work/db_compact"
echo "compact and plain day give the same records"

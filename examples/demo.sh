#!/usr/bin/env bash
# The main job on the shipped sample files, in a fresh scratch folder:
# read each observation file into a new campaign database, then list it,
# export the GEONAP project files, draw one signal/noise page per
# occupation and check the quality of every occupation.
# Usage: examples/demo.sh [path to lumerak] [scratch folder]
#
# Each step prints its heading first and runs with its standard error joined
# to standard output, so the program's own lines always follow the heading
# of their step, also when the demo's output goes through a pipe.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lumerak=$(realpath "${1:-$here/../build/front/lumerak}")
scratch=${2:-$here/../scratch/demo}

rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(realpath "$scratch")
cp "$here"/*.??[oO] "$here"/*.crx "$here"/*.Z "$scratch"/
cd "$scratch"

step() {
  printf '\n== %s\n' "$1"
  shift
  "$@" 2>&1
}

for file in *.??[oO] *.crx *.Z; do
  step "read $file" "$lumerak" -r"$file"
done
step "list, export, plot and check the campaign" "$lumerak" -scampaign.lst -aCAMPAIGN -g -i

echo
echo "Outputs in $scratch:"
echo "  database:  $(ls -- zz*.DAT | tr '\n' ' ')"
echo "  listing:   $scratch/campaign.lst"
echo "  GEONAP:    $(ls -- CAMPAIGN.* | tr '\n' ' ')"
echo "  plots:     $(ls -- *.ps | tr '\n' ' ')"
echo "  quality:   $scratch/zzQC.csv $scratch/zzSLIPS.csv"
if command -v gs >/dev/null; then
  first=$(ls -- *.ps | head -n 1)
  gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r100 -sOutputFile="${first%.ps}.png" "$first"
  echo "  rendered:  $scratch/${first%.ps}.png"
fi

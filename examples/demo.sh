#!/usr/bin/env bash
# The main job on the shipped sample files, in a fresh scratch folder:
# read each observation file into a new campaign database, then list it,
# export the GEONAP project files, draw the signal/noise pages of each
# occupation, rendered to PNG when Ghostscript is there, and check the
# quality of every occupation. The navigation file read beside the KMS3
# observations gives that station's pages a sky plot and a page of signal
# against elevation.
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
cp "$here"/*.??[oO] "$here"/*.crx "$here"/*.Z "$here"/*_MN.rnx.gz "$scratch"/
cd "$scratch"

step() {
  printf '\n== %s\n' "$1"
  shift
  "$@" 2>&1
}

for file in *.??[oO] *.crx *.Z *_MN.rnx.gz; do
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
  # Every page of every file, upright (the pages are landscape): one PNG per
  # page, <file>-<page>.png.
  for file in *.ps; do
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r100 -sOutputFile="${file%.ps}-%d.png" \
      -c "<< /Orientation 3 >> setpagedevice" -f "$file"
  done
  echo "  rendered:  $(ls -- *.png | tr '\n' ' ')"
  echo "  showcase:  $scratch/ACOR-1-1.png: the 38 satellites of GPS, GLONASS, Galileo"
  echo "             and BeiDou of ACOR00ESP_R_20213550000_01D_30S_MO.crx, a row each"
  echo "  sky:       $scratch/KMS3-1-2.png: the sky plot of KMS3 from its navigation file,"
  echo "             $scratch/KMS3-1-3.png: its signal against elevation"
fi

#!/usr/bin/env bash
# The main job on the shipped sample files, in a fresh scratch folder:
# read each observation file into a new campaign database, then list it,
# export the GEONAP project files, draw the signal/noise pages of each
# occupation as PostScript, check the quality of every occupation, and draw
# the same pages as PDF and PNG when the program was built with cairo (no
# Ghostscript is needed for either). The navigation file read beside the
# KMS3 observations gives that station's pages a sky plot and a page of
# signal against elevation.
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
# A build without cairo refuses -fpdf before doing anything.
with_cairo=false
if "$lumerak" -fpdf >/dev/null 2>&1; then
  with_cairo=true
  # The same pages without the check's marks, which would run the check
  # (and print its table) once more for each format.
  step "the pages as PDF" "$lumerak" -g -fpdf
  step "the pages as PNG" "$lumerak" -g -fpng
fi

echo
echo "Outputs in $scratch:"
echo "  database:  $(ls -- zz*.DAT | tr '\n' ' ')"
echo "  listing:   $scratch/campaign.lst"
echo "  GEONAP:    $(ls -- CAMPAIGN.* | tr '\n' ' ')"
echo "  plots:     $(ls -- *.ps | tr '\n' ' ')"
echo "  quality:   $scratch/zzQC.csv $scratch/zzSLIPS.csv"
if $with_cairo; then
  echo "  PDF:       $(ls -- *.pdf | tr '\n' ' ')"
  echo "  PNG:       $(ls -- *.png | tr '\n' ' ')"
  echo "  showcase:  $scratch/ACOR-1.pdf and ACOR-1.png: the 38 satellites of GPS, GLONASS,"
  echo "             Galileo and BeiDou of ACOR00ESP_R_20213550000_01D_30S_MO.crx, a row each"
  echo "  sky:       $scratch/KMS3-1.pdf pages 2 and 3, KMS3-1-2.png: the sky plot of KMS3"
  echo "             from its navigation file; KMS3-1-3.png: its signal against elevation"
else
  echo "  sky:       pages 2 and 3 of $scratch/KMS3-1.ps: the sky plot of KMS3 from its"
  echo "             navigation file and its signal against elevation"
  echo "  (built without cairo: no PDF or PNG pages; see the README's set-up)"
fi

#!/usr/bin/env bash
# check_round_trip.sh <kelmory-batch>: the metafor round trip of round_trip.R.
# Skipped (status 77) where R or metafor is not installed; scripts/deps
# installs both.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v Rscript >/dev/null || { echo "Rscript is not installed"; exit 77; }
Rscript -e 'quit(status = !requireNamespace("metafor", quietly = TRUE))' 2>/dev/null ||
  { echo "metafor is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$1" -o "$tmp/out.csv" "$here/two-arm.csv" || { echo "FAIL: kelmory-batch status $?"; exit 1; }
Rscript "$here/round_trip.R" "$tmp/out.csv" "$here/two-arm.csv" "$here/hand-completed.csv"

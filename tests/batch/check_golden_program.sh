#!/usr/bin/env bash
# The program itself on the golden files, as any build runs it:
#   check_golden_program.sh <command...>   (e.g. node kelmory-batch.js)
# Each file through a path, standard input and -o gives its expected bytes
# and status 1 (each holds refused rows) with a quiet standard error; the
# failures that stop a run give status 2 and their one line.
set -uo pipefail
golden=$(cd "$(dirname "$0")/golden" && pwd)
program=("$@")

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

while read -r name options; do
  expected=$golden/$name.expected.csv
  # shellcheck disable=SC2086
  "${program[@]}" $options "$golden/$name.csv" >"$tmp/out" 2>"$tmp/err"
  status=$?
  [[ $status -eq 1 ]] || fail "$name: status $status"
  cmp -s "$tmp/out" "$expected" || fail "$name: not the expected bytes"
  [[ -s $tmp/err ]] && fail "$name: standard error: $(head -c 200 "$tmp/err")"
  # shellcheck disable=SC2086
  "${program[@]}" $options - <"$golden/$name.csv" >"$tmp/out" 2>/dev/null
  cmp -s "$tmp/out" "$expected" || fail "$name from standard input: not the expected bytes"
  # shellcheck disable=SC2086
  "${program[@]}" $options -o "$tmp/written.csv" "$golden/$name.csv" >"$tmp/out" 2>&1
  cmp -s "$tmp/written.csv" "$expected" || fail "$name -o: not the expected bytes"
  [[ -s $tmp/out ]] && fail "$name -o: printed $(head -c 200 "$tmp/out")"
  [[ $(ls -A "$tmp" | grep -cv '^\(out\|err\|written.csv\)$') -eq 0 ]] ||
    fail "$name -o: left $(ls -A "$tmp")"
  rm -f "$tmp/written.csv"
done <<'TABLE'
review --working
review-semicolon --method z
review-utf16
review-sep
medians --working
means --working
ratios --working
paired --method z
change --corr 0.5 --working
skewed --median auto
two-groups --method z
subgroups --working
all-kinds
arms-meta
arms-metamedian
arms-metafor
arms-labels
arms-calc
TABLE

# A FIFO named as the input and as -o's target is read and written in order.
mkfifo "$tmp/in.fifo" "$tmp/out.fifo"
# Each end gives up after a while, should the program never open its own.
timeout 20 bash -c 'cat "$1" >"$2"' - "$golden/all-kinds.csv" "$tmp/in.fifo" &
writer=$!
timeout 20 bash -c 'cat "$1" >"$2"' - "$tmp/out.fifo" "$tmp/from-fifo.csv" &
reader=$!
"${program[@]}" -o "$tmp/out.fifo" "$tmp/in.fifo" 2>"$tmp/err"
status=$?
wait "$writer" "$reader"
[[ $status -eq 1 ]] || fail "FIFOs: status $status, $(head -c 200 "$tmp/err")"
cmp -s "$tmp/from-fifo.csv" "$golden/all-kinds.expected.csv" || fail "FIFOs: not the expected bytes"
rm -f "$tmp/in.fifo" "$tmp/out.fifo" "$tmp/from-fifo.csv"

stops() {  # stops <name> <expected standard error> <arguments...>
  local name=$1 message=$2
  shift 2
  "${program[@]}" "$@" >"$tmp/out" 2>"$tmp/err" </dev/null
  local status=$?
  [[ $status -eq 2 ]] || fail "$name: status $status"
  [[ $(cat "$tmp/err") == "$message" ]] || fail "$name: said $(cat "$tmp/err")"
  [[ -s $tmp/out ]] && fail "$name: wrote $(head -c 200 "$tmp/out")"
}
stops "a missing file" "kelmory-batch: cannot read '$tmp/none.csv': No such file or directory" \
  "$tmp/none.csv"
stops "an unknown option" "kelmory-batch: The following argument was not expected: --bogus (see --help)" \
  --bogus
printf 'n,se\n4,"1\n' >"$tmp/broken.csv"
stops "an unclosed quote" "kelmory-batch: '$tmp/broken.csv', line 2: broken CSV: a quoted cell is not closed before the end of the input" \
  -o "$tmp/written.csv" "$tmp/broken.csv"
[[ -e $tmp/written.csv ]] && fail "a failed -o run wrote its file"

((failures == 0)) && echo "all checks passed" || echo "$failures checks failed"
((failures == 0))

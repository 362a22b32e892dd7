#!/usr/bin/env bash
# The program as a user runs it:  check_cli.sh <kelmory-batch> <golden dir>
# Exit statuses, a quiet standard error, one line on it for a failure, and
# -o that writes all or nothing.
set -uo pipefail
program=$1 golden=$2

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # check <name> <expected status> <actual status>
  [[ $3 -eq $2 ]] && echo "ok: $1" || fail "$1: status $3, expected $2"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$program" --working "$golden/review.csv" >"$tmp/out.csv" 2>"$tmp/err"
check "refused rows give 1" 1 $?
cmp -s "$tmp/out.csv" "$golden/review.expected.csv" || fail "standard output differs from the golden file"
[[ -s $tmp/err ]] && fail "standard error is not empty: $(head -c 200 "$tmp/err")"

"$program" --method z -o "$tmp/semi.csv" - <"$golden/review-semicolon.csv" >"$tmp/stdout" 2>"$tmp/err"
check "-o from standard input" 1 $?
cmp -s "$tmp/semi.csv" "$golden/review-semicolon.expected.csv" || fail "-o wrote another table"
[[ -s $tmp/stdout || -s $tmp/err ]] && fail "-o: something went to standard output or error"

printf 'n,se\n4,1\n' | "$program" >/dev/null 2>"$tmp/err"
check "all rows converted give 0" 0 $?

mkdir "$tmp/dir"
printf 'n,se\n4,"1\n' >"$tmp/broken.csv"
"$program" -o "$tmp/dir/out.csv" "$tmp/broken.csv" 2>"$tmp/err"
check "an unclosed quote gives 2" 2 $?
[[ -z $(ls -A "$tmp/dir") ]] || fail "a failed run left files behind: $(ls -A "$tmp/dir")"
[[ $(wc -l <"$tmp/err") -eq 1 ]] && grep -q 'line 2' "$tmp/err" ||
  fail "expected one line naming line 2, got: $(cat "$tmp/err")"

echo old >"$tmp/dir/keep.csv"
"$program" -o "$tmp/dir/keep.csv" "$tmp/missing.csv" 2>/dev/null
check "an unreadable input gives 2" 2 $?
[[ $(cat "$tmp/dir/keep.csv") == old ]] || fail "a failed run replaced the existing output"

for args in "--method q" "--level 0" "--nonsense" "a.csv b.csv"; do
  # shellcheck disable=SC2086
  "$program" $args </dev/null >/dev/null 2>"$tmp/err"
  check "usage error '$args' gives 2" 2 $?
  [[ $(wc -l <"$tmp/err") -eq 1 ]] || fail "'$args': not one line on standard error"
done

"$program" --help >"$tmp/help" 2>&1
check "--help" 0 $?
grep -q -- '--working' "$tmp/help" || fail "--help does not list --working"

((failures == 0)) && echo "all command-line checks passed"
((failures == 0))

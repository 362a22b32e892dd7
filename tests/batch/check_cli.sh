#!/usr/bin/env bash
# The program as a user runs it:  check_cli.sh <kelmory-batch> <golden dir>
# Exit statuses, a quiet standard error, one line on it for a failure, -o
# that writes all or nothing through what it names, and signals.
set -uo pipefail
program=$(realpath "$1") golden=$2

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

# Usage errors: status 2 and exactly this line.
while IFS='|' read -r args expected; do
  # shellcheck disable=SC2086
  "$program" $args </dev/null >/dev/null 2>"$tmp/err"
  check "usage error '$args' gives 2" 2 $?
  [[ $(cat "$tmp/err") == "kelmory-batch: $expected" ]] ||
    fail "'$args': expected '$expected', got: $(cat "$tmp/err")"
done <<'EOF'
--method q|--method must be 't' or 'z' (see --help)
--delimiter x|--delimiter must be ',', ';' or 'tab' (see --help)
--decimal ;|--decimal must be '.' or ',' (see --help)
--level 0|--level must be a number strictly between 0 and 100, not '0' (see --help)
--level 0.95|--level is 0.95: give it as a percentage, such as 95
--level 0,5%|--level is 0,5%: give it as a percentage, such as 95
EOF
for args in "--nonsense" "a.csv b.csv"; do
  # shellcheck disable=SC2086
  "$program" $args </dev/null >/dev/null 2>"$tmp/err"
  check "usage error '$args' gives 2" 2 $?
  [[ $(wc -l <"$tmp/err") -eq 1 ]] || fail "'$args': not one line on standard error"
done

# -o through what it names (the writer's own cases are in output_file_test).
printf 'n,se\n4,1\n' >"$tmp/in.csv"
"$program" "$tmp/in.csv" >"$tmp/expected.csv"
mkdir "$tmp/o"
echo old >"$tmp/o/real.csv"
chmod 600 "$tmp/o/real.csv"
ln -s real.csv "$tmp/o/link.csv"
"$program" -o "$tmp/o/link.csv" "$tmp/in.csv"
check "-o through a link" 0 $?
[[ -L $tmp/o/link.csv ]] || fail "-o replaced the link"
cmp -s "$tmp/o/real.csv" "$tmp/expected.csv" || fail "-o did not write the link's target"
[[ $(stat -c %a "$tmp/o/real.csv") == 600 ]] || fail "-o made a 0600 file $(stat -c %a "$tmp/o/real.csv")"
cp "$tmp/in.csv" "$tmp/o/same.csv"
"$program" -o "$tmp/o/same.csv" "$tmp/o/same.csv"
check "-o naming the input" 0 $?
cmp -s "$tmp/o/same.csv" "$tmp/expected.csv" || fail "-o naming the input wrote another table"
[[ $(ls -A "$tmp/o" | tr '\n' ' ') == "link.csv real.csv same.csv " ]] ||
  fail "-o left files behind: $(ls -A "$tmp/o")"

if mknod "$tmp/o/full" c 1 7 2>/dev/null && mknod "$tmp/o/null" c 1 3 2>/dev/null &&
  : 2>/dev/null >"$tmp/o/null"; then
  "$program" -o "$tmp/o/full" "$tmp/in.csv" 2>"$tmp/err"
  check "-o on a full device" 2 $?
  [[ $(cat "$tmp/err") == "kelmory-batch: cannot write the output: No space left on device" ]] ||
    fail "-o on a full device said: $(cat "$tmp/err")"
  "$program" -o "$tmp/o/null" "$tmp/in.csv"
  check "-o on a null device" 0 $?
  [[ -c $tmp/o/full && -c $tmp/o/null ]] || fail "-o replaced a device node"
else
  echo "skipped: the device-node cases (mknod needs root and a folder without nodev)"
fi

# A read-only file is refused, also where its folder is writable; root may
# write anything, so this runs as an unprivileged user.
mkdir -m 777 "$tmp/ro"
echo old >"$tmp/ro/out.csv"
chmod 444 "$tmp/ro/out.csv"
chmod 755 "$tmp"
chmod 644 "$tmp/in.csv"
if [[ $(id -u) -ne 0 ]] || ! command -v runuser >/dev/null; then
  echo "skipped: the read-only case (it needs root to run as the user nobody)"
elif ! runuser -u nobody -- test -x "$program" -a -r "$tmp/in.csv"; then
  echo "skipped: the read-only case (the user nobody cannot run $program)"
else
  runuser -u nobody -- "$program" -o "$tmp/ro/out.csv" "$tmp/in.csv" 2>"$tmp/err"
  check "-o on a read-only file" 2 $?
  [[ $(cat "$tmp/err") == "kelmory-batch: '$tmp/ro/out.csv' is read-only" ]] ||
    fail "-o on a read-only file said: $(cat "$tmp/err")"
  [[ $(cat "$tmp/ro/out.csv") == old && $(ls -A "$tmp/ro") == out.csv ]] ||
    fail "-o replaced a read-only file or left files behind"
fi

# A signal during a run with -o removes the temporary file; the status is
# 128 + the signal's number. Job control keeps SIGINT from being ignored in
# the background job.
set -m
mkfifo "$tmp/feed"
for signal in INT TERM HUP; do
  mkdir "$tmp/sig"
  exec 3<>"$tmp/feed"
  printf 'n,se\n4,1\n' >&3
  "$program" -o "$tmp/sig/out.csv" "$tmp/feed" &
  pid=$!
  for _ in $(seq 100); do [[ -n $(ls -A "$tmp/sig") ]] && break; sleep 0.05; done
  kill -s "$signal" "$pid"
  wait "$pid"
  status=$?
  exec 3>&-
  check "SIG$signal during a run" $((128 + $(kill -l "$signal"))) $status
  [[ -z $(ls -A "$tmp/sig") ]] || fail "SIG$signal left files behind: $(ls -A "$tmp/sig")"
  rm -rf "$tmp/sig"
done 2>/dev/null
set +m

"$program" --help >"$tmp/help" 2>&1
check "--help" 0 $?
grep -q -- '--working' "$tmp/help" || fail "--help does not list --working"
for text in "one source: se, ci (the half-width), or lower" "level (in percent)" \
  "Exit status: 0 every row has an SD; 1 some row was refused"; do
  grep -qF -- "$text" "$tmp/help" || fail "--help does not say: $text"
done
grep -q 'n_1, mean_1, sd_1' "$tmp/help" || fail "--help does not show the subgroup columns"

((failures == 0)) && echo "all command-line checks passed"
((failures == 0))

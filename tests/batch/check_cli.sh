#!/usr/bin/env bash
# The program as a user runs it:  check_cli.sh <kelmory-batch>
# Every option with each of its values, exit statuses, a quiet standard
# error, one line on it for a failure, -o that writes all or nothing through
# what it names, and signals.
set -uo pipefail
program=$(realpath "$1")

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # check <name> <expected status> <actual status>
  [[ $3 -eq $2 ]] && echo "ok: $1" || fail "$1: status $3, expected $2"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Every option with each of its values: the whole output of a small table,
# numbers within 1e-13 of the values worked out with mpmath.
same_table() {  # same_table <delimiter> <expected> <actual file>
  awk -v d="$1" -v want="$2" 'BEGIN { n = split(want, lines, "\n") - 1 }
    function num(s) { return s ~ /^-?[0-9]+(\.[0-9]+)?(e[-+]?[0-9]+)?$/ }
    { if (NR > n) { bad = 1; exit }
      c = split($0, a, d)
      if (c != split(lines[NR], w, d)) { bad = 1; exit }
      for (i = 1; i <= c; i++) {
        if (num(a[i]) && num(w[i])) {
          diff = a[i] - w[i]; if (diff < 0) diff = -diff
          if (diff > 1e-13 * (w[i] < 0 ? -w[i] : w[i])) { bad = 1; exit }
        } else if (a[i] != w[i]) { bad = 1; exit } } }
    END { exit bad || NR != n }' "$3"
}
added=sd,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal
semi=${added//,/;} tabbed=${added//,/\\t}
small="n is below 60: the Cochrane Handbook advises t with n - 1 degrees of freedom; see sd_t"
t9=2.2621571627982053 z90=1.6448536269514726 z99=2.575829303548901 z95=1.9599639845400543
while IFS='|' read -r name delimiter args input expected; do
  printf '%b' "$input" >"$tmp/case.csv"
  # shellcheck disable=SC2086
  "$program" $args "$tmp/case.csv" >"$tmp/case.out" 2>"$tmp/err"
  check "$name" 0 $?
  same_table "$(printf '%b' "$delimiter")" "$(printf '%b' "$expected")"$'\n' "$tmp/case.out" ||
    fail "$name: expected $(printf '%b' "$expected"), got $(cat "$tmp/case.out")"
done <<TABLE
no option|,||n,se\n4,1.25\n|n,se,$added\n4,1.25,2.5,se,,,,,,,
--decimal ,|,|--decimal ,|n,se\n4,"1,25"\n|n,se,$added\n4,"1,25","2,5",se,,,,,,,
--decimal . on a ; table|;|--decimal .|n;se\n4;1.25\n|n;se;$semi\n4;1.25;2.5;se;;;;;;;
--delimiter ; with its decimal comma|;|--delimiter ;|n;se\n4;1,25\n|n;se;$semi\n4;1,25;2,5;se;;;;;;;
--delimiter tab|\t|--delimiter tab|n\tse\n4\t1.25\n|n\tse\t$tabbed\n4\t1.25\t2.5\tse\t\t\t\t\t\t\t
--delimiter , over the count of ;|,|--delimiter ,|a;b;c,n,se\nx;y;z,4,1.25\n|a;b;c,n,se,$added\nx;y;z,4,1.25,2.5,se,,,,,,,
--delimiter , over a sep= line|,|--delimiter ,|sep=;\nn,se\n4,1.25\n|sep=,\nn,se,$added\n4,1.25,2.5,se,,,,,,,
--method t|,|--method t|n,ci\n10,$t9\n|n,ci,$added\n10,$t9,3.162277660168379,t,$t9,9,3.649847199302175,3.162277660168379,15.418302613813955,,
--method z|,|--method z|n,ci\n10,$t9\n|n,ci,$added\n10,$t9,3.649847199302175,z,$z95,9,3.649847199302175,3.162277660168379,15.418302613813955,$small,
--method z at n 60|,|--method z|n,ci\n60,$z95\n|n,ci,$added\n60,$z95,7.745966692414833,z,$z95,59,7.745966692414833,7.587131838897342,2.0934769144669936,,
--level 90|,|--level 90|n,ci\n100,$z90\n|n,ci,$added\n100,$z90,9.90642247756372,t,1.6603911560169908,99,10,9.90642247756372,0.9446146946409466,,
--level 99 --method z|,|--level 99 --method z|n,ci\n100,$z99\n|n,ci,$added\n100,$z99,10,z,$z99,99,10,9.80743204141721,1.9634901141253587,,
--median lognormal|,|--median lognormal|n,median,min,max\n20,6,2,14\n|n,median,min,max,sd,estimated_mean,total_n,mean_normal,sd_normal,mean_skewed,sd_skewed,skewed_method,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal\n20,6,2,14,3.4426427697958201,6.5314954456032652,,6.5944677601167284,3.2115759673697015,6.5314954456032652,3.4426427697958201,log-normal,log-normal,,,,,,estimated from the median: consider it in a sensitivity analysis,
--median normal|,|--median normal|n,median,min,max\n20,6,2,14\n|n,median,min,max,sd,estimated_mean,total_n,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal\n20,6,2,14,3.2115759673697015,6.5944677601167284,,median-range,,,,,,estimated from the median: consider it in a sensitivity analysis,
--corr 0.5|,|--corr 0.5|n,sd_baseline,sd_final\n20,4,5\n|n,sd_baseline,sd_final,$added\n20,4,5,4.58257569495584,change from imputed correlation,,,,,,imputed correlation 0.5: consider a sensitivity analysis,
--corr -1|,|--corr -1|sd_baseline,sd_final\n4,5\n|sd_baseline,sd_final,$added\n4,5,9,change from imputed correlation,,,,,,imputed correlation -1: consider a sensitivity analysis,
--corr table|,|--corr table|n,sd_baseline,sd_final,sd_change\n20,4,5,\n20,4,5,3.5\n30,6,6.5,4\n|n,sd_baseline,sd_final,sd_change,sd,corr_estimated,method,critical_value,df,sd_z,sd_t,z_t_gap_percent,warning,refusal\n20,4,5,,3.2480953720568606,,change from imputed correlation,,,,,,"imputed correlation 0.761, the mean of 2 rows' correlations through Fisher's z: consider a sensitivity analysis",\n20,4,5,3.5,3.5,0.71875,correlation,,,,,,,\n30,6,6.5,4,4,0.79807692307692308,correlation,,,,,,,
TABLE
# --corr table reads a pipe twice from memory, a file from its start again.
printf 'sd_baseline,sd_final,sd_change\n4,5,\n4,5,3.5\n' >"$tmp/change.csv"
"$program" --corr table "$tmp/change.csv" >"$tmp/from-file.csv" 2>"$tmp/err"
check "--corr table on a file" 0 $?
cat "$tmp/change.csv" | "$program" --corr table >"$tmp/from-pipe.csv" 2>>"$tmp/err"
check "--corr table on a pipe" 0 $?
cmp -s "$tmp/from-file.csv" "$tmp/from-pipe.csv" || fail "--corr table: a pipe and a file differ"
[[ -s $tmp/err ]] && fail "--corr table: standard error: $(cat "$tmp/err")"
grep -q "^4,5,,3.4999999999999996,,change from imputed correlation,,,,,,\"imputed correlation 0.719, the mean of 1 row's correlation through" "$tmp/from-file.csv" ||
  fail "--corr table: one row's correlation is not the one imputed: $(cat "$tmp/from-file.csv")"
"$program" --median mean "$tmp/change.csv" >"$tmp/out" 2>"$tmp/err"
check "--median mean gives 2" 2 $?
[[ $(cat "$tmp/err") == "kelmory-batch: --median must be 'normal', 'qe', 'lognormal' or 'auto' (see --help)" ]] ||
  fail "--median mean: said $(cat "$tmp/err")"
for bad in 1.5 x; do
  "$program" --corr "$bad" "$tmp/change.csv" >"$tmp/out" 2>"$tmp/err"
  check "--corr $bad gives 2" 2 $?
  [[ $(cat "$tmp/err") == "kelmory-batch: --corr must be a correlation from -1 to 1 or 'table', not '$bad' (see --help)" ]] ||
    fail "--corr $bad: said $(cat "$tmp/err")"
done
# The working column, whole, with its CR LF lines, written by -o.
printf 'n,se\n4,1.25\n' >"$tmp/case.csv"
"$program" --working -o "$tmp/working.csv" "$tmp/case.csv" >"$tmp/stdout" 2>"$tmp/err"
check "--working -o" 0 $?
printf 'n,se,%s,working\n4,1.25,2.5,se,,,,,,,,"%s\r\n%s\r\n\r\n%s"\n' "$added" \
  "Standard Deviation = sqrt(N) * Standard Error" "Which computes to 2 * 1.25" \
  "Therefore, the SD = 2.5" >"$tmp/expected.csv"
cmp -s "$tmp/working.csv" "$tmp/expected.csv" || fail "--working -o wrote: $(cat "$tmp/working.csv")"
[[ -s $tmp/stdout || -s $tmp/err ]] && fail "-o: something went to standard output or error"
"$program" -o "$tmp/from-stdin.csv" - <"$tmp/case.csv"
check "-o from standard input" 0 $?
printf 'n,se,%s\n4,1.25,2.5,se,,,,,,,\n' "$added" | cmp -s - "$tmp/from-stdin.csv" ||
  fail "-o from standard input wrote: $(cat "$tmp/from-stdin.csv")"

printf 'n,se\n4,1\n4,x\n' | "$program" >/dev/null 2>"$tmp/err"
check "a refused row gives 1" 1 $?
[[ -s $tmp/err ]] && fail "standard error is not empty: $(head -c 200 "$tmp/err")"

mkdir "$tmp/dir"
printf 'n,se\n4,"1\n' >"$tmp/broken.csv"
"$program" -o "$tmp/dir/out.csv" "$tmp/broken.csv" 2>"$tmp/err"
check "an unclosed quote gives 2" 2 $?
[[ -z $(ls -A "$tmp/dir") ]] || fail "a failed run left files behind: $(ls -A "$tmp/dir")"
[[ $(cat "$tmp/err") == "kelmory-batch: '$tmp/broken.csv', line 2: broken CSV: a quoted cell is not closed before the end of the input" ]] ||
  fail "an unclosed quote said: $(cat "$tmp/err")"

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

# -o naming its own input (the writer's cases, links and devices, are in
# output_file_test).
printf 'n,se\n4,1\n' >"$tmp/in.csv"
printf 'n,se,%s\n4,1,2,se,,,,,,,\n' "$added" >"$tmp/expected.csv"
mkdir "$tmp/o"
cp "$tmp/in.csv" "$tmp/o/same.csv"
"$program" -o "$tmp/o/same.csv" "$tmp/o/same.csv"
check "-o naming the input" 0 $?
cmp -s "$tmp/o/same.csv" "$tmp/expected.csv" || fail "-o naming the input wrote another table"
[[ $(ls -A "$tmp/o") == same.csv ]] || fail "-o left files behind: $(ls -A "$tmp/o")"

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

#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs:
#   check_install.sh <build dir> <t-table probe library>
# The program must find its data file when started through bin/kelmory, a
# relative link: once with the data file beside the real program (it opens
# the t-table), once with the file only beside the link (it must not).
set -uo pipefail
build=$1 probe=$2
# Spelled out, not taken from the build: desktops find the files by this name.
app_id=example.varonel.Kelmory

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

# The layout.
for file in lib/kelmory/kelmory lib/kelmory/cutoff.mdb \
    "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml"; do
  [[ -f $prefix/$file ]] && pass "$file" || fail "$file is missing"
done
[[ -x $prefix/lib/kelmory/kelmory ]] || fail "lib/kelmory/kelmory is not executable"
link=$(readlink "$prefix/bin/kelmory")
[[ $link == ../lib/kelmory/kelmory ]] && pass "bin/kelmory -> $link" ||
  fail "bin/kelmory should be the relative link ../lib/kelmory/kelmory, is '$link'"
for size in 16 32 48 64 128 256; do
  icon=share/icons/hicolor/${size}x${size}/apps/$app_id.png
  file -b "$prefix/$icon" | grep -q "^PNG image data, $size x $size," && pass "$icon" ||
    fail "$icon is not a $size x $size PNG"
done
icon=share/icons/hicolor/scalable/apps/$app_id.svg
file -b "$prefix/$icon" | grep -q "SVG" && pass "$icon" || fail "$icon is not an SVG image"
page=share/man/man1/kelmory.1.gz
out=$(MANWIDTH=80 man --warnings -l "$prefix/$page" 2>&1 >/dev/null) && [[ -z $out ]] &&
  pass "$page" || fail "$page does not read cleanly: ${out:-missing}"
# It agrees with the program: the z values it divides by, and where the
# data file is installed (lib/kelmory, checked above).
for text in "1.96 for a 95% interval, 2.576 for a 99% interval" ".I /usr/lib/kelmory/cutoff.mdb"; do
  zcat "$prefix/$page" | grep -F -- "$text" >/dev/null || fail "$page does not say '$text'"
done

# The desktop file and the metainfo, on their own and as one tree.
desktop=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1) && [[ -z $out ]] && pass "desktop-file-validate" ||
  fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) && pass "appstreamcli validate" ||
  fail "appstreamcli validate: $out"
out=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) && pass "appstreamcli validate-tree" ||
  fail "appstreamcli validate-tree (metainfo, desktop file and icon together): $out"
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop file names another icon"
grep -qx "StartupWMClass=Kelmory" "$desktop" || fail "the desktop file names another window class"

# Started through the link it runs until stopped: 124 is timeout's status.
timeout 3 "$prefix/bin/kelmory" >/dev/null 2>&1
status=$?
[[ $status -eq 124 ]] && pass "bin/kelmory starts and runs" ||
  fail "bin/kelmory ended with status $status instead of running"

# Without a display: one line that says so, status 1, instead of Qt's abort.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/kelmory" 2>&1)
status=$?
expected="Kelmory needs a graphical session (DISPLAY or WAYLAND_DISPLAY); neither is set."
[[ $status -eq 1 && $out == "$expected" ]] && pass "no display: status 1 and the message" ||
  fail "without a display: status $status and '$out'"

probe_run() {  # the probe's line; the status is the program's (pipefail)
  timeout 30 env LD_PRELOAD="$probe" "$1/bin/kelmory" 2>/dev/null | grep '^kelmory-probe:'
}

out=$(probe_run "$prefix") && [[ $out =~ ^kelmory-probe:\ rows\ [1-9] ]] && pass "t-table through the link: $out" ||
  fail "t-table through the link: ${out:-no probe output}"

# Data file beside the link only: the program must look in its real directory.
moved=$tmp/moved
cp -a "$prefix" "$moved"
mv "$moved/lib/kelmory/cutoff.mdb" "$moved/bin/cutoff.mdb"
out=$(probe_run "$moved")
[[ $out == "kelmory-probe: failed: "* ]] && pass "no t-table with the file beside the link only" ||
  fail "with the file beside the link only the probe said: ${out:-nothing}"

# kelmory-batch on the PATH, with its manual page.
out=$(printf 'n,se\n4,1\n' | "$prefix/bin/kelmory-batch" 2>&1) && [[ $out == *$'\n4,1,2,se,'* ]] &&
  pass "bin/kelmory-batch converts a table" || fail "bin/kelmory-batch: ${out:-no output}"
man=$prefix/share/man/man1/kelmory-batch.1.gz
gzip -t "$man" 2>/dev/null && zcat "$man" | grep -q '^\.TH KELMORY-BATCH 1' && pass "kelmory-batch.1.gz" ||
  fail "share/man/man1/kelmory-batch.1.gz is missing or broken"

# kelmory-review: the program, its menu entry for CSV files and its manual page.
review_desktop=$prefix/share/applications/${app_id}Review.desktop
out=$(desktop-file-validate "$review_desktop" 2>&1) && [[ -z $out ]] &&
  pass "desktop-file-validate (Kelmory Review)" || fail "desktop-file-validate (Kelmory Review): $out"
for line in "Name=Kelmory Review" "Icon=$app_id" "StartupWMClass=kelmory-review" "MimeType=text/csv;"; do
  grep -qx "$line" "$review_desktop" || fail "the Kelmory Review desktop file lacks '$line'"
done
out=$(appstreamcli validate --no-net "$prefix/share/metainfo/${app_id}Review.metainfo.xml" 2>&1) &&
  pass "appstreamcli validate (Kelmory Review)" || fail "appstreamcli validate (Kelmory Review): $out"
page=share/man/man1/kelmory-review.1.gz
out=$(MANWIDTH=80 man --warnings -l "$prefix/$page" 2>&1 >/dev/null) && [[ -z $out ]] &&
  pass "$page" || fail "$page does not read cleanly: ${out:-missing}"
# FILE opens at the start, as the recent-files list it joins shows; settings
# go to the temporary folder, not the user's.
printf 'n,se\n4,1\n' >"$tmp/study.csv"
timeout 3 env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" "$prefix/bin/kelmory-review" \
  "$tmp/study.csv" >/dev/null 2>&1
status=$?
[[ $status -eq 124 ]] && pass "bin/kelmory-review starts and runs" ||
  fail "bin/kelmory-review ended with status $status instead of running"
grep -qx "recentFiles=$tmp/study.csv" "$tmp/config/Kelmory/kelmory-review.conf" 2>/dev/null &&
  pass "kelmory-review FILE opens FILE" || fail "kelmory-review FILE did not open FILE"
out=$("$prefix/bin/kelmory-review" --version 2>&1) batch=$("$prefix/bin/kelmory-batch" --version)
[[ $batch == "kelmory-batch "[0-9]* && $out == "kelmory-review ${batch#kelmory-batch }" ]] ||
  fail "kelmory-review --version says: $out"

# The Debian package, built as cpack builds it, then judged by lintian: no
# error or warning, and none of the informational tags of missing hardening
# or of the compilers' .comment left in a binary.
package_dir=$tmp/package
deb=""
if cpack -G DEB --config "$build/CPackConfig.cmake" -B "$package_dir" >"$tmp/cpack.log" 2>&1; then
  deb=$(find "$package_dir" -maxdepth 1 -name 'kelmory_*.deb' | head -n 1)
fi
[[ -n $deb ]] && pass "cpack: $(basename "$deb")" || fail "cpack -G DEB: $(tail -n 5 "$tmp/cpack.log")"
if [[ -n $deb ]]; then
  version=$(dpkg-deb -f "$deb" Version)
  for info in "$metainfo" "$prefix/share/metainfo/${app_id}Review.metainfo.xml"; do
    release=$(grep -o -m 1 '<release version="[^"]*"' "$info" | cut -d'"' -f2)
    [[ $release == "$version" ]] && pass "$(basename "$info"): the newest release is the package's $version" ||
      fail "$(basename "$info"): the newest release is '$release', the package's version $version"
  done
  # Its dependency brings the face the windows fall back to for the design's font.
  depends=$(dpkg-deb -f "$deb" Depends | sed 's/ ([^)]*)//g; s/, /\n/g')
  xargs dpkg -L <<<"$depends" 2>/dev/null | grep '/LiberationSans-Regular.ttf$' >/dev/null ||
    fail "no package the package depends on brings Liberation Sans: $depends"
  report=$(lintian --display-info "$deb" 2>"$tmp/lintian.log")
  status=$?
  out=$(grep -E '^[EW]: |hardening-no-|binary-has-unneeded-section' <<<"$report")
  # Under AddressSanitizer the build leaves fortify out: the sanitizer checks
  # those calls itself.
  if [[ $(nm -D "$prefix/lib/kelmory/kelmory") == *' __asan_init'$'\n'* ]]; then
    out=$(grep -v 'hardening-no-fortify-functions' <<<"$out")
  fi
  ((status == 0)) && [[ -z $out ]] && pass "lintian: no error, warning or hardening tag" ||
    fail "lintian (status $status):"$'\n'"${out:-$(tail -n 5 "$tmp/lintian.log")}"
fi

((failures == 0)) && echo "all install checks passed" || echo "$failures install check(s) failed"
((failures == 0))

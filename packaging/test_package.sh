#!/bin/bash
# Builds the Debian package from the build tree, installs it with dpkg into a
# scratch root, checks what it holds, starts the installed programs and purges the
# package again.
#   test_package.sh --cpack CPACK --config CPackConfig.cmake --work DIR
#                   --files EXPECTED_FILES --version VERSION --programs "NAMES"
#                   --sources PACKAGING_SOURCE_DIR --cli CLI_NAME
# EXPECTED_FILES lists every file the package must hold, one path a line.
set -euo pipefail

while [ $# -gt 0 ]; do
  case $1 in
    --cpack) cpack=$2 ;;
    --config) config=$2 ;;
    --work) work=$2 ;;
    --files) files=$2 ;;
    --version) version=$2 ;;
    --programs) programs=$2 ;;
    --sources) sources=$2 ;;
    --cli) cli=$2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }
show_and_fail() { cat "$1" >&2; shift; fail "$@"; }
packaged() { grep -E "$1" "$files" || fail "the expected files hold no match for $1"; }

for tool in dpkg:dpkg dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev file:file readelf:binutils ldd:libc-bin \
    desktop-file-validate:desktop-file-utils appstreamcli:appstream timeout:coreutils \
    lintian:lintian gzip:gzip; do
  command -v "${tool%%:*}" >/dev/null || fail "${tool%%:*} was not found: install the Debian package ${tool#*:}"
done

rm -rf "$work"
mkdir -p "$work"

step "building the package"
"$cpack" --config "$config" -G DEB -B "$work/out" > "$work/cpack.log" 2>&1 ||
  show_and_fail "$work/cpack.log" "cpack failed"
arch=$(dpkg --print-architecture)
deb=$work/out/vorlane_${version}_${arch}.deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"), but: $(ls "$work/out")"

step "lintian: no error and no warning"
lintian --fail-on error,warning --tag-display-limit 0 "$deb" > "$work/lintian.log" 2>&1 ||
  show_and_fail "$work/lintian.log" "lintian reports errors or warnings"
cat "$work/lintian.log"

step "control fields"
expect_field() {
  local actual
  actual=$(dpkg-deb --field "$deb" "$1")
  [ "$actual" = "$2" ] || fail "the control field $1 is '$actual', expected '$2'"
}
expect_field Package vorlane
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Maintainer "The Vorlane project <dev@vorlane.example>"

step "files, modes and owners"
dpkg-deb --contents "$deb" > "$work/contents"
awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' "$work/contents" | sort > "$work/files-packaged"
sort "$files" > "$work/files-expected"
diff -u "$work/files-expected" "$work/files-packaged" ||
  fail "the package's files differ from the expected ones (-: missing, +: unexpected)"
while read -r mode owner _ _ _ path _; do
  path=${path#./}
  case $mode in
    d*) wanted=drwxr-xr-x ;;
    *) case $path in */bin/*) wanted=-rwxr-xr-x ;; *) wanted=-rw-r--r-- ;; esac ;;
  esac
  [ "$mode" = "$wanted" ] || fail "$path has the mode $mode, expected $wanted"
  [ "$owner" = root/root ] || fail "$path belongs to $owner, expected root/root"
done < "$work/contents"

step "maintainer scripts"
dpkg-deb --control "$deb" "$work/control"
for script in postinst postrm; do
  [ -x "$work/control/$script" ] || fail "the package has no executable $script"
  cmp -s "$work/control/$script" "$sources/$script" || fail "the package's $script differs from its source"
done

step "installing with dpkg into $work/root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: > "$root/var/lib/dpkg/status"
# A stand-in udevadm that records its calls: installing into another root must
# leave the udev daemon of the running system alone.
mkdir "$work/stub"
calls=$work/udevadm-calls
: > "$calls"
printf '#!/bin/sh\necho "$*" >> "%s"\n' "$calls" > "$work/stub/udevadm"
chmod +x "$work/stub/udevadm"
dpkg_root=(dpkg "--root=$root" --log=/dev/null --force-script-chrootless --force-depends)
[ "$(id -u)" -eq 0 ] || dpkg_root+=(--force-not-root)
PATH="$work/stub:$PATH" "${dpkg_root[@]}" --install "$deb" > "$work/install.log" 2>&1 ||
  show_and_fail "$work/install.log" "dpkg --install failed"
status=$(dpkg-query "--admindir=$root/var/lib/dpkg" --show --showformat='${Status}' vorlane)
[ "$status" = "install ok installed" ] || fail "after installing, the package's status is '$status'"
[ ! -s "$calls" ] || fail "postinst called udevadm of the running system: $(paste -sd';' "$calls")"
while read -r path; do
  [ -f "$root/$path" ] || fail "$path is not installed"
done < "$files"

step "udev rule, desktop entry, metainfo, icons"
rule=$(packaged '/70-vorlane\.rules$')
case $rule in
  lib/udev/rules.d/* | usr/lib/udev/rules.d/*) ;;
  *) fail "the rule is installed as /$rule, where udev does not read rules" ;;
esac
cmp -s "$root/$rule" "$sources/70-vorlane.rules" || fail "the installed rule differs from its source"
desktop=$(packaged '/applications/vorlane\.desktop$')
desktop-file-validate "$root/$desktop" || fail "desktop-file-validate rejects the installed desktop entry"
# Checks the metainfo together with the desktop entry it names as launchable.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli rejects the installed tree"
while read -r path; do
  description=$(file --brief "$root/$path")
  case $path in
    */icons/hicolor/scalable/apps/*)
      [[ $description == SVG* ]] || fail "$path is not an SVG image but: $description" ;;
    */icons/hicolor/*/apps/*)
      size=${path#*/hicolor/}
      size=${size%%/*}
      [[ $description == "PNG image data, ${size/x/ x }, "* ]] ||
        fail "$path is not a $size PNG image but: $description" ;;
  esac
done < "$files"

owner_of() {  # the package that ships a file; /lib and /usr/lib are one on merged systems
  local path=$1 alias
  case $path in /usr/*) alias=${path#/usr} ;; *) alias=/usr$path ;; esac
  { dpkg-query --search "$path" || dpkg-query --search "$alias" || true; } 2>/dev/null |
    awk -F: 'NR == 1 { print $1 }'
}

depends=$(dpkg-deb --field "$deb" Depends)
# The installed programs run with the system's libraries and plugins only.
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
environment=(env -i PATH=/usr/bin:/bin "HOME=$work/home" "XDG_RUNTIME_DIR=$work/runtime"
             QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8)
for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  [ -z "${!name:-}" ] || environment+=("$name=${!name}")
done
# A program of the package: stripped, without a library search path, and every
# library it needs is of a package that Depends names.
check_binary() {
  local program=$1 binary=$2 library path package
  step "$program: stripped, no library search path, dependencies"
  [[ $(file --brief "$binary") == ELF*", stripped" ]] || fail "$program is not a stripped ELF file"
  if readelf --dynamic "$binary" | grep -E '\((RPATH|RUNPATH)\)'; then
    fail "$program carries a library search path"
  fi
  ldd "$binary" > "$work/$program.ldd"
  readelf --dynamic "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' > "$work/$program.needed"
  while read -r library; do
    path=$(awk -v name="$library" '$1 == name && $3 ~ /^\// { print $3 }' "$work/$program.ldd")
    [ -n "$path" ] || fail "$program needs $library, which the system does not have"
    package=$(owner_of "$path")
    [ -n "$package" ] || fail "$program needs $path, which no Debian package ships"
    [[ ", $depends," =~ ", $package"[\ ,] ]] ||
      fail "$program needs $library of $package, which Depends does not name: $depends"
  done < "$work/$program.needed"
  step "$program: its manual page"
  local manual=$root/$(packaged "/man1/$program\.1\.gz\$")
  gzip -t "$manual" || fail "the manual page of $program is no gzip file"
  gzip -dc "$manual" | grep -q '^\.TH ' || fail "the manual page of $program has no .TH line"
}

for program in $programs; do
  binary=$root/$(packaged "/bin/$program\$")
  check_binary "$program" "$binary"

  step "$program: starts on the offscreen platform and closes cleanly when told to"
  started=$(date +%s%N)
  status=0
  "${environment[@]}" timeout --preserve-status --kill-after=5 --signal=TERM 2 "$binary" \
    > "$work/$program.log" 2>&1 || status=$?
  elapsed=$((($(date +%s%N) - started) / 1000000))
  # SIGTERM closes the window like the user's close: the program returns 0.
  if [ "$elapsed" -lt 2000 ] || [ "$status" -ne 0 ]; then
    show_and_fail "$work/$program.log" "$program ended with status $status after $elapsed ms"
  fi
done

if [[ " $programs " == *" vorlane-demo "* ]]; then
  step "vorlane-demo: reads the demo stick, saves a picture of the window and quits"
  picture=$work/demo.png
  status=0
  "${environment[@]}" timeout --kill-after=5 60 "$root/$(packaged '/bin/vorlane-demo$')" \
    --screenshot "$picture" > "$work/vorlane-demo-picture.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || show_and_fail "$work/vorlane-demo-picture.log" "vorlane-demo ended with status $status"
  [[ $(file --brief "$picture") == "PNG image data, "* ]] || fail "vorlane-demo saved no PNG picture"
fi

if [ -n "${cli:-}" ]; then
  binary=$root/$(packaged "/bin/$cli\$")
  check_binary "$cli" "$binary"
  step "$cli: --version and --help"
  [ "$("${environment[@]}" "$binary" --version)" = "$cli $version" ] || fail "$cli --version does not print '$cli $version'"
  "${environment[@]}" "$binary" --help > "$work/$cli-help.txt" || fail "$cli --help failed"
  grep -q '^Exit codes:' "$work/$cli-help.txt" || fail "$cli --help lists no exit codes"
  gzip -dc "$root/$(packaged "/man1/$cli\.1\.gz\$")" | grep -q 'Exit codes' ||
    fail "the manual page of $cli lists no exit codes"
fi

step "purging the package"
PATH="$work/stub:$PATH" "${dpkg_root[@]}" --purge vorlane > "$work/purge.log" 2>&1 ||
  show_and_fail "$work/purge.log" "dpkg --purge failed"
[ ! -s "$calls" ] || fail "postrm called udevadm of the running system: $(paste -sd';' "$calls")"
left=$(find "$root" -path "$root/var/lib/dpkg" -prune -o ! -type d -print)
[ -z "$left" ] || fail "purging left files behind: $left"

echo "the package builds, installs, runs and purges cleanly"

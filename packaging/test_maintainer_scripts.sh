#!/bin/bash
# Runs the package's postinst and postrm against a stand-in udevadm that records
# its calls, for each case of: what dpkg asks, whether a udev daemon answers,
# whether udevadm's requests fail, whether dpkg installs into another root and
# whether udevadm exists at all. Every case must end with status 0.
#   test_maintainer_scripts.sh PACKAGING_SOURCE_DIR
set -euo pipefail

scripts=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/bin" "$work/empty"
cat > "$work/bin/udevadm" <<'EOF'
#!/bin/sh
echo "$*" >> "$STUB_LOG"
if [ "$1 $2" = "control --ping" ]; then
  [ "$STUB_DAEMON" = up ]
else
  [ "$STUB_REQUESTS" = succeed ]
fi
EOF
chmod +x "$work/bin/udevadm"

ping="control --ping"
reload="control --reload"
trigger="trigger --action=change --subsystem-match=hidraw"

# script | argument | daemon | requests | DPKG_ROOT (- unset) | udevadm on PATH | calls, ; between
cases=(
  "postinst|configure|up|succeed||yes|$ping;$reload;$trigger"
  "postinst|configure|up|succeed|-|yes|$ping;$reload;$trigger"
  "postinst|configure|up|fail||yes|$ping;$reload;$trigger"
  "postinst|configure|down|succeed||yes|$ping"
  "postinst|configure|up|succeed|/srv/image|yes|"
  "postinst|configure|up|succeed||no|"
  "postinst|abort-upgrade|up|succeed||yes|"
  "postrm|remove|up|succeed||yes|$ping;$reload"
  "postrm|purge|up|fail||yes|$ping;$reload"
  "postrm|remove|down|succeed||yes|$ping"
  "postrm|upgrade|up|succeed||yes|"
  "postrm|purge|up|succeed|/srv/image|yes|"
  "postrm|remove|up|succeed||no|"
)

failures=0
for entry in "${cases[@]}"; do
  IFS='|' read -r script argument daemon requests dpkg_root on_path expected <<<"$entry"
  name="$script $argument (daemon $daemon, requests $requests, DPKG_ROOT '$dpkg_root', udevadm $on_path)"
  log=$work/calls
  : > "$log"
  path=$work/empty
  [ "$on_path" = yes ] && path=$work/bin
  environment=(env -i "PATH=$path" "STUB_LOG=$log" "STUB_DAEMON=$daemon" "STUB_REQUESTS=$requests")
  [ "$dpkg_root" = - ] || environment+=("DPKG_ROOT=$dpkg_root")

  status=0
  "${environment[@]}" "$scripts/$script" "$argument" > "$work/output" 2>&1 || status=$?
  calls=$(paste -sd';' "$log")
  if [ "$status" -ne 0 ]; then
    echo "FAIL $name: exit status $status"; cat "$work/output"; failures=$((failures + 1))
  elif [ "$calls" != "$expected" ]; then
    echo "FAIL $name: udevadm calls '$calls', expected '$expected'"; failures=$((failures + 1))
  elif [ -s "$work/output" ]; then
    echo "FAIL $name: printed output:"; cat "$work/output"; failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures of ${#cases[@]} cases failed"
  exit 1
fi
echo "all ${#cases[@]} cases passed"

#!/usr/bin/env bash
# The demo's headless walk: it must end done, with ten screenshots that show something and an
# animation of the copy whose pictures change, small enough to load at once. Its disc's programs
# are signed: each verifies against the test root, a copy with one byte changed does not.
#   tests/demo_test.sh [BUILD_DIR]    the demo of that build (build/ or build/x64/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
options=()
if [ "$build" = "$root/build/x64" ]; then options=(--x64); fi
demo="$build/demo"
"$root/tools/demo" --headless --no-build "${options[@]}" | tee "$build/demo.log"
grep -q '^walk: done' "$demo/walk.log"
grep -q '^demo: Setup.exe [0-9.]*, signed by .*CN=kestrelix (Signature verification: ok' "$build/demo.log"
verify() { osslsigncode verify -CAfile "$root/build/test-certificate/root.crt" -in "$1" >/dev/null 2>&1; }
for program in Setup.exe Uninstaller.exe VT.exe; do verify "$demo/disc/$program" || exit 1; done
/usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[4096] ^= 1; open(sys.argv[2], "wb").write(d)' \
  "$demo/disc/VT.exe" "$demo/changed.exe"
if verify "$demo/changed.exe"; then echo "demo_test: a program with a byte changed verifies" >&2; exit 1; fi
rm "$demo/changed.exe"

blank() {
  local deviation
  deviation=$(convert "$1" -colorspace Gray -format '%[fx:standard_deviation]' info:)
  awk -v d="$deviation" 'BEGIN { exit !(d < 0.02) }'
}

count=0
for png in "$demo"/*.png; do
  if blank "$png"; then echo "demo_test: $png looks blank" >&2; exit 1; fi
  count=$((count + 1))
done
[ "$count" -eq 10 ] || { echo "demo_test: $count screenshots, not 10" >&2; exit 1; }

gif=("$demo"/*-copying.gif)
[ -f "${gif[0]}" ] || { echo "demo_test: no animation of the copy" >&2; exit 1; }
frames="$demo/gif-frames"
rm -rf "$frames"
mkdir -p "$frames"
convert "${gif[0]}" -coalesce "$frames/%03d.png"
pictures=("$frames"/*.png)
size=$(stat -c %s "${gif[0]}")
changed=$(compare -metric AE "${pictures[0]}" "${pictures[-1]}" null: 2>&1 || true)
if [ "${#pictures[@]}" -lt 2 ] || [ "$changed" = 0 ] || blank "${pictures[-1]}" || [ "$size" -gt 300000 ]; then
  echo "demo_test: the copy's animation: ${#pictures[@]} pictures, $changed pixels changed, $size bytes" >&2
  exit 1
fi
rm -rf "$frames"
echo "demo_test: $count screenshots, none blank; the copy in ${#pictures[@]} pictures, $size bytes"

#!/usr/bin/env bash
# The demo's headless walk on the tiny disc: it must end done, with ten screenshots that show something.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/demo" --headless --no-build
grep -q '^walk: done' "$root/build/demo/walk.log"
count=0
for png in "$root"/build/demo/*.png; do
  deviation=$(convert "$png" -colorspace Gray -format '%[fx:standard_deviation]' info:)
  if awk -v d="$deviation" 'BEGIN { exit !(d < 0.02) }'; then
    echo "demo_test: $png looks blank (deviation $deviation)" >&2
    exit 1
  fi
  count=$((count + 1))
done
[ "$count" -eq 10 ] || { echo "demo_test: $count screenshots, not 10" >&2; exit 1; }
echo "demo_test: $count screenshots, none blank"

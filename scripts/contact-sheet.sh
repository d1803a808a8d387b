#!/usr/bin/env bash
# Shoots the race's look with zkplay (docs/look/shots.zk: every level group, the captions, pause,
# a crash, the tally and the finale; docs/look/hit.zk: a hit) and lays the shots out in one contact sheet with
# ImageMagick's montage.
#   bash scripts/contact-sheet.sh [BUILD_DIR] [SHEET.jpg]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
sheet=${2:-$root/docs/look/sheet.jpg}
command -v montage >/dev/null || { echo "contact-sheet.sh: montage (ImageMagick) is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for script in shots hit; do
  (cd "$work" && "$build/bin/zkplay" --data "$build/game" --save-dir "$work/saves" "$root/docs/look/$script.zk" >/dev/null)
done
mkdir -p "$(dirname "$sheet")"
montage -geometry 400x300+4+4 -tile 4x -label '%t' "$work"/*.png -quality 85 "$sheet"
echo "$sheet"

#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG sources. The PNGs are
# committed, so neither the build nor the package needs a renderer; run this
# after changing an SVG (needs librsvg2-bin for rsvg-convert).
#   dist/unix/icons/velmo-service-tool.svg        32 px and up, and scalable
#   dist/unix/icons/velmo-service-tool-small.svg  16 to 24 px: fewer, bolder
#                                                 lines that stay legible
set -euo pipefail
icons=$(cd "$(dirname "${BASH_SOURCE[0]}")/../dist/unix/icons" && pwd)
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt install librsvg2-bin" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  source=$icons/velmo-service-tool.svg
  [ "$size" -le 24 ] && source=$icons/velmo-service-tool-small.svg
  out=$icons/hicolor/${size}x${size}/apps
  mkdir -p "$out"
  rsvg-convert -w "$size" -h "$size" "$source" -o "$out/velmo-service-tool.png"
done
ls -l "$icons"/hicolor/*/apps/velmo-service-tool.png

#!/usr/bin/env bash
# Made resources/tavo-online.ico once from resources/tavo-online.svg; the build uses the .ico as
# it is checked in and needs no image tool. Run again only when the picture changes:
#   apt-get install librsvg2-bin && resources/make-icon.sh
# Each size is a PNG image inside the .ico (Windows reads those from Windows Vista on).
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes=(16 20 24 32 40 48 64 256)
for size in "${sizes[@]}"; do
  rsvg-convert -w "$size" -h "$size" tavo-online.svg -o "$work/$size.png"
done
python3 - "$work" "${sizes[@]}" <<'PY'
import struct, sys
work, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]
images = [open(f"{work}/{s}.png", "rb").read() for s in sizes]
out = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for size, data in zip(sizes, images):
    edge = 0 if size >= 256 else size  # 0 stands for 256
    out += struct.pack("<BBBBHHII", edge, edge, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
open("tavo-online.ico", "wb").write(out + b"".join(images))
PY

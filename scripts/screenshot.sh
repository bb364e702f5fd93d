#!/usr/bin/env bash
# Shows the conversion dialog and the help window of a built morfex under Xvfb and saves PNG
# pictures of them, so the layout can be checked without a desktop.
#
#   scripts/screenshot.sh [build directory] [output folder]
#
# Defaults: build/dev and a new folder under /tmp. The pictures: dialog.png (as it opens),
# dialog-list.png (the source character-set list opened), dialog-filled.png (after choosing a
# UTF-16 sample as source), dialog-wide.png (100 pixels wider), help.png. Each shows the whole
# window as the screen does, with the frame of openbox when that is installed, so the dialog's
# picture is 400 pixels high and the help window's 640 by 480. With a Windows build in
# build/windows-x64 (or WINDOWS_BUILD), also the Win32 dialog and help window under Wine, saved by
# morfex.exe itself: dialog.png, dialog-filled.png, dialog-wide.png and help.png in windows/.
# Needs xvfb and xauth, for the frames openbox, and wine64 for the Win32 windows
# (scripts/install-deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build=${1:-build/dev}
out=${2:-$(mktemp -d /tmp/glyphshift-screenshots.XXXXXX)}
mkdir -p "$out"
out=$(cd "$out" && pwd)

morfex=$(find "$(cd "$build" 2>/dev/null && pwd)" -type f -name morfex -perm -u+x 2>/dev/null | head -n 1)
if [ -z "$morfex" ]; then
  echo "No morfex in $build; build it first, e.g.: cmake --build --preset dev --target morfex" >&2
  exit 1
fi
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }

sample="$out/sample-utf16.txt"
printf '\xff\xfeG\0l\0y\0p\0h\0\r\0\n\0' >"$sample"

export GLYPHSHIFT_GUI_SNAPSHOT="$out"
export GLYPHSHIFT_GUI_SNAPSHOT_SOURCE="$sample"
export ASAN_OPTIONS=detect_leaks=0  # a sanitizer build: Qt's caches are not our leaks
unset QT_QPA_PLATFORM

command -v openbox >/dev/null || echo "openbox is missing (Debian package openbox): pictures without frames" >&2

# Each window saves its pictures, then closes itself; morfex then ends with status 255. The
# window manager runs first and is ready once it has announced itself on the root window.
run_framed() {
  (cd "$out" && xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" bash -c '
    if command -v openbox >/dev/null; then
      openbox --sm-disable >/dev/null 2>&1 &
      wm=$!
      for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.1
      done
    fi
    status=0
    "$@" || status=$?
    if [ -n "${wm:-}" ]; then kill "$wm"; fi
    exit "$status"' run_framed "$@") || [ $? -eq 255 ]
}
run_framed "$morfex"
run_framed "$morfex" "/?"
pictures=(dialog.png dialog-list.png dialog-filled.png dialog-wide.png help.png)

# The Win32 windows, in a Wine prefix whose desktop belongs to the Xvfb display; its server
# ends with each run.
windows_build=${WINDOWS_BUILD:-build/windows-x64}
if [ -f "$windows_build/bin/morfex.exe" ]; then
  mkdir -p "$out/windows"
  morfex_exe="$(cd "$windows_build/bin" && pwd)/morfex.exe"
  export GLYPHSHIFT_GUI_SNAPSHOT="$out/windows"
  export GLYPHSHIFT_WINE_DISPLAY=1
  run_framed "$root/cmake/toolchains/wine-run.sh" "$morfex_exe"
  run_framed "$root/cmake/toolchains/wine-run.sh" "$morfex_exe" "/?"
  pictures+=(windows/dialog.png windows/dialog-filled.png windows/dialog-wide.png windows/help.png)
  # morfex.exe stores its pictures uncompressed (half a megabyte each); compressed here, each row
  # as its difference to the row above, they shrink about thirtyfold.
  if command -v python3 >/dev/null; then
    python3 - "$out"/windows/*.png <<'PY'
import struct, sys, zlib
for path in sys.argv[1:]:
    data = open(path, "rb").read()
    chunks, at = [], 8
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks.append((kind, data[at + 8:at + 8 + size]))
        at += 12 + size
    header = dict(chunks)[b"IHDR"]
    width, height, depth, colour = struct.unpack(">IIBB", header[:10])
    if (depth, colour) != (8, 2):
        continue
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    stride = 1 + 3 * width
    rows = [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]
    filtered = bytearray()
    for y, row in enumerate(rows):
        above = rows[y - 1] if y else bytes(len(row))
        filtered.append(2)
        filtered += bytes((c - a) & 0xFF for c, a in zip(row, above))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    with open(path, "wb") as png:
        png.write(data[:8] + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(filtered), 9))
                  + chunk(b"IEND", b""))
PY
  fi
else
  echo "No Windows build in $windows_build: the Qt windows only" >&2
fi

missing=0
for picture in "${pictures[@]}"; do
  [ -s "$out/$picture" ] || { echo "missing: $picture" >&2; missing=1; }
done
rm -f "$sample"
echo "Screenshots in $out:"
(cd "$out" && find . -name '*.png' | sed 's|^\./||' | sort)
exit "$missing"

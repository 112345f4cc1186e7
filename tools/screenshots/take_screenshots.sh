#!/bin/sh
# Screenshots of the desktop application for the README: starts
# quillstone-gui under a virtual X server on the demo database, lists a
# table, then shows a folder of the document tree, and saves PNG files
# through the application's own screenshot walk (--screenshots).
#
#   tools/screenshots/take_screenshots.sh BUILD_DIR OUT_DIR
set -eu
build=${1:?build folder}
out=${2:?output folder}
mkdir -p "$out"
command -v xvfb-run >/dev/null || { echo "xvfb-run is needed (Debian package xvfb)" >&2; exit 1; }
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
XDG_RUNTIME_DIR=$runtime QUILLSTONE_SCREENSHOT_DIR="$out" \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bin/quillstone-gui" --screenshots "$build/bin/WSS_Content_Demo.mdf"
ls -l "$out"

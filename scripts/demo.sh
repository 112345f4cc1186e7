#!/bin/sh
# Installs what is needed, builds (Release) and runs the main job on the
# bundled demo database.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
# One compiler per core: without it the Makefile generator runs one at a time.
cmake --build build --parallel "$(nproc)"
build/bin/quillstone scan build/bin/WSS_Content_Demo.mdf

#!/usr/bin/env bash
# Installs what is missing, builds volumar and runs its built-in example
# (a small FAT12 volume made in a temporary folder; nothing else is touched).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target volumar
build/tools/volumar demo

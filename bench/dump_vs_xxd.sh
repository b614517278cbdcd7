#!/usr/bin/env bash
# `volumar dump` of a 64 MiB range against `xxd` of the same bytes, in one
# run; prints both times and their ratio. Usage: bench/dump_vs_xxd.sh [build]
set -euo pipefail
build=${1:-build}
volumar="$build/tools/volumar"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
image="$work/vol.img"
mkfs.fat -C -F 32 "$image" 81920 >/dev/null        # 80 MiB FAT32 volume
head -c $((64 << 20)) /dev/urandom | dd of="$image" bs=1M seek=8 conv=notrunc status=none
first=$(( (8 << 20) / 512 ))
sectors=$(( (64 << 20) / 512 ))

seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc -l; }
best() { local b=999 t; for _ in 1 2 3; do t=$(seconds "$@"); b=$(echo "if ($t < $b) $t else $b" | bc -l); done; echo "$b"; }

dump=$(best "$volumar" dump "$image" --sector "$first" --count "$sectors")
xxd=$(best sh -c "dd if='$image' bs=1M skip=8 count=64 status=none | xxd")
printf 'volumar dump 64 MiB: %.3f s\nxxd 64 MiB:          %.3f s\nratio: %.2f x xxd\n' "$dump" "$xxd" "$(echo "$dump / $xxd" | bc -l)"

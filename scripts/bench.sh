#!/usr/bin/env bash
# Measures volumar against plain tools doing the same work and prints one
# table: figure | ours | baseline | ratio | goal | met.
#
# Usage: scripts/bench.sh [--scale | --scale-only] [--no-build]
#   (no option)   build, then the main table (a few minutes)
#   --scale       also the FAT-size table: `volumar info` load time and peak
#                 memory for FATs of 8, 32, 128, 512 and 1024 MiB
#   --scale-only  only the FAT-size table
#   --no-build    use the build already in the build folder
# Environment: VOLUMAR_SOURCE (default: this tree), VOLUMAR_BENCH_BUILD
# (default: SOURCE/build-bench), TMPDIR (where the sparse volumes go; the
# 1 TiB one of --scale needs about 2.1 GiB of real space).
#
# The build is Release with -DVOLUMAR_BENCH=ON -DVOLUMAR_TESTS=OFF in its own
# folder. Volumes are sparse FAT32 images (mkfs.fat -C -F 32 -s 8, 4 KiB
# clusters) in a temporary folder removed on exit; HOME is never written
# (registry and undo journal live in that folder too). Whole-process times
# are hyperfine medians (-N, 3 warm-up runs, page cache warm for both sides);
# memory is GNU time's peak RSS; in-process figures come from Google
# Benchmark programs in bench/. Nothing here is a test: the table reports,
# and the exit status is 0 whether or not goals are met.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=${VOLUMAR_SOURCE:-$(dirname "$here")}
build_dir=${VOLUMAR_BENCH_BUILD:-$source_dir/build-bench}
main=1 scale=0 build=1
for arg in "$@"; do
  case $arg in
    --scale) scale=1 ;;
    --scale-only) scale=1 main=0 ;;
    --no-build) build=0 ;;
    -h | --help) sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench.sh: unknown option $arg (see --help)" >&2; exit 2 ;;
  esac
done

die() { echo "bench.sh: $*" >&2; exit 1; }
note() { echo "bench.sh: $*" >&2; }
export PATH=$PATH:/usr/sbin:/sbin  # mkfs.fat
need() { command -v "$1" >/dev/null 2>&1 || die "$1 not found; install the Debian package $2"; }
need cmake cmake
need hyperfine hyperfine
need mkfs.fat dosfstools
need dd coreutils
need xxd xxd
need python3 python3
[[ -x /usr/bin/time ]] || die "/usr/bin/time not found; install the Debian package time"

if ((build)); then
  note "building $build_dir (Release, benchmarks on, tests off)"
  mkdir -p "$build_dir"
  log=$build_dir/bench-build.log
  if ! { cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DVOLUMAR_BENCH=ON -DVOLUMAR_TESTS=OFF &&
    cmake --build "$build_dir" -j"$(nproc)" --target volumar bench_fat_search bench_sector_reads; } >"$log" 2>&1; then
    grep -m 20 -E 'error:|undefined reference' "$log" >&2 || tail -n 20 "$log" >&2
    die "the build failed; the whole log is $log"
  fi
fi
volumar=$build_dir/tools/volumar
search_bench=$build_dir/bench/bench_fat_search
[[ -x $volumar ]] || die "$volumar is missing (run without --no-build)"

work=$(mktemp -d "${TMPDIR:-/tmp}/volumar-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/xdg  # the registry's default place
journal=$work/journal.db
rows=$work/rows.tsv
: >"$rows"

# A sparse FAT32 volume of `gib` GiB with 4 KiB clusters: its FAT is about
# gib MiB.
make_volume() { # path gib [mkfs options]
  local path=$1 gib=$2
  shift 2
  mkfs.fat -C -F 32 -s 8 "$@" "$path" $((gib << 20)) >"$work/mkfs.out" 2>&1 || {
    cat "$work/mkfs.out" >&2
    die "mkfs.fat could not make a $gib GiB volume in $work"
  }
}

# Sets res spf nfats spc bps total data_start clusters from the boot sector.
read_boot() {
  read -r bps spc res nfats spf total < <(python3 - "$1" <<'EOF'
import struct, sys
b = open(sys.argv[1], "rb").read(512)
bps, = struct.unpack_from("<H", b, 11)
res, = struct.unpack_from("<H", b, 14)
total16, = struct.unpack_from("<H", b, 19)
total32, = struct.unpack_from("<I", b, 32)
spf, = struct.unpack_from("<I", b, 36)
print(bps, b[13], res, b[16], spf, total16 or total32)
EOF
  )
  data_start=$((res + nfats * spf))
  clusters=$(((total - data_start) / spc))
}

calc() { awk "BEGIN { printf \"%.${2:-2}f\", $1 }"; }
holds() { awk "BEGIN { exit !($1) }"; }
yes_no() { if holds "$1"; then echo yes; else echo no; fi; }
row() { printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$@" >>"$rows"; }
ms() { calc "$1 * 1000" "${2:-1}"; }

# Median seconds of each command (one hyperfine run over all of them) into
# the array `median`.
time_commands() {
  local json=$work/hyperfine.json
  if ! hyperfine -N --warmup 3 --style none --export-json "$json" "$@" >"$work/hyperfine.out" 2>&1; then
    cat "$work/hyperfine.out" >&2
    die "hyperfine failed on: $*"
  fi
  mapfile -t median < <(python3 -c 'import json, sys
for r in json.load(open(sys.argv[1]))["results"]: print(r["median"])' "$json")
}

# Peak resident set of a command in KiB (the largest of three runs).
peak_kib() {
  local best=0 kib
  for _ in 1 2 3; do
    /usr/bin/time -f %M -o "$work/time.out" "$@" >/dev/null 2>"$work/cmd.err" || {
      cat "$work/cmd.err" >&2
      die "failed: $*"
    }
    kib=$(tail -n 1 "$work/time.out")
    ((kib > best)) && best=$kib
  done
  echo "$best"
}

q() { printf '%q ' "$@"; }  # one command line for hyperfine, quoted

# `volumar info` against dd of FAT copy 1; sets fat_mib info_s dd_s.
fat_load() { # image
  read_boot "$1"
  fat_mib=$(calc "$spf * $bps / 1048576" 1)
  time_commands "$(q "$volumar" info "$1")" \
    "$(q dd if="$1" of=/dev/null bs=1M iflag=skip_bytes,count_bytes skip=$((res * bps)) count=$((spf * bps)) status=none)"
  info_s=${median[0]} dd_s=${median[1]}
}

print_table() { # file, header...
  python3 - "$@" <<'EOF'
import sys
head = sys.argv[2:]
lines = [head] + [l.rstrip("\n").split("\t") for l in open(sys.argv[1]) if l.strip()]
w = [max(len(r[i]) for r in lines) for i in range(len(head))]
fmt = lambda r: "| " + " | ".join(c.ljust(w[i]) for i, c in enumerate(r)) + " |"
print(fmt(lines[0]))
print("|" + "|".join("-" * (x + 2) for x in w) + "|")
for r in lines[1:]: print(fmt(r))
EOF
}

notes=()

if ((main)); then
  note "making sparse volumes with FATs of 32 MiB and 512 MiB in $work"
  img32=$work/fat32mib.img img512=$work/fat512mib.img
  make_volume "$img32" 32
  make_volume "$img512" 512
  # mkfs leaves a GiB of FAT copies to write back: done before any timing,
  # not during it, and before any fsync has to wait for it.
  sync

  # 1, 2: the FAT load of `volumar info`, whole process.
  note "1-2: volumar info (FAT load) against dd of the FAT"
  fat_load "$img32"
  r1=$(calc "$info_s / $dd_s")
  row "1 info, ${fat_mib} MiB FAT (time)" "$(ms "$info_s") ms" "$(ms "$dd_s") ms dd" "$r1" "≤ 1.5×" "$(yes_no "$r1 <= 1.5")"
  fat_load "$img512"
  fat512_bytes=$((spf * bps))
  r2=$(calc "$info_s / $dd_s")
  row "2 info, ${fat_mib} MiB FAT (time)" "$(ms "$info_s") ms" "$(ms "$dd_s") ms dd" "$r2" "≤ 1.5×, ≤ fig.1 + 0.2" \
    "$(yes_no "$r2 <= 1.5 && $r2 - $r1 <= 0.2")"

  # 3: peak memory of that load against the FAT's size.
  note "3: peak memory of volumar info on the 512 MiB FAT"
  kib=$(peak_kib "$volumar" info "$img512")
  rss_mib=$(calc "$kib / 1024" 1)
  fat_mib_exact=$(calc "$fat512_bytes / 1048576" 1)
  row "3 info, ${fat_mib_exact} MiB FAT (peak RSS)" "$rss_mib MiB" "$fat_mib_exact MiB FAT" \
    "$(calc "$rss_mib / $fat_mib_exact")" "≤ 1.1×FAT+8MiB" "$(yes_no "$rss_mib <= 1.1 * $fat_mib_exact + 8")"
  if holds "$rss_mib < 0.5 * $fat_mib_exact"; then
    notes+=("info kept less than half the FAT resident: figures 1-3 time and measure no whole-FAT load.")
  fi

  # 4: free-entry search over a full table, in process.
  note "4: free-entry search (bench_fat_search)"
  "$search_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_out="$work/search.json" --benchmark_out_format=json >"$work/search.out" 2>&1 || {
    cat "$work/search.out" >&2
    die "bench_fat_search failed"
  }
  python3 - "$work/search.json" >>"$rows" <<'EOF'
import json, sys
runs = {}
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        name, side = b["run_name"].split("/")[:2]
        runs.setdefault(name, {})[side] = b["Gentries/s"]
for name in sorted(runs, reverse=True):  # fat32 first
    lib, base = runs[name]["library"], runs[name]["baseline"]
    fs, n = name.split("_")[0].upper(), name.split("_")[-1]
    ratio = lib / base
    print(f"4 free search, full {fs} table of {n} entries\t{lib:.2f} G entries/s\t{base:.2f} G entries/s loop"
          f"\t{ratio:.2f}\t≥ 0.8× throughput\t{'yes' if ratio >= 0.8 else 'no'}")
EOF

  # 5: one data sector of the 512 MiB-FAT volume: dump, write, fill.
  note "5: one sector: dump, write, fill"
  read_boot "$img512"
  sector=$((data_start + 4096 * spc))
  head -c "$bps" /dev/urandom >"$work/sector.bin"
  hex=$(xxd -p "$work/sector.bin" | tr -d '\n')
  # volumar's write is on the disk when it returns (and its journal record
  # before it), so the baseline is dd's write made as durable.
  dd_write=$(q dd if="$work/sector.bin" of="$img512" bs="$bps" seek="$sector" count=1 conv=notrunc,fsync status=none)
  time_commands "$(q "$volumar" dump "$img512" --sector "$sector")" \
    "$(q dd if="$img512" of=/dev/null bs="$bps" skip="$sector" count=1 status=none)" \
    "$(q "$volumar" --journal "$journal" write "$img512" --sector "$sector" --hex "$hex" --yes)" \
    "$(q "$volumar" --no-journal write "$img512" --sector "$sector" --hex "$hex" --yes)" \
    "$(q "$volumar" --journal "$journal" fill "$img512" --sector "$sector" --yes)" \
    "$dd_write"
  one=("${median[@]}")
  r=$(calc "${one[0]} / ${one[1]}")
  row "5 dump 1 sector, 512 MiB-FAT volume" "$(ms "${one[0]}") ms" "$(ms "${one[1]}" 2) ms dd" "$r" "≤ 3×" "$(yes_no "$r <= 3")"
  for pair in "2:write 1 sector (journal)" "3:write 1 sector (--no-journal)" "4:fill 1 sector (journal)"; do
    i=${pair%%:*} what=${pair#*:}
    r=$(calc "${one[i]} / ${one[5]}")
    row "5 $what" "$(ms "${one[i]}") ms" "$(ms "${one[5]}" 2) ms dd fsync" "$r" "≤ 3×" "$(yes_no "$r <= 3")"
  done

  # 6: 64 MiB of random bytes as a hex dump.
  note "6: dump of 64 MiB against xxd"
  read_boot "$img32"
  first=$((data_start + 2048))
  count=$(((64 << 20) / bps))
  head -c $((64 << 20)) /dev/urandom | dd of="$img32" bs=1M seek=$((first * bps)) oflag=seek_bytes conv=notrunc status=none
  time_commands "$(q "$volumar" dump "$img32" --sector "$first" --count "$count")" \
    "$(q xxd -s $((first * bps)) -l $((64 << 20)) "$img32")"
  r=$(calc "${median[0]} / ${median[1]}")
  row "6 dump 64 MiB" "$(ms "${median[0]}" 0) ms" "$(ms "${median[1]}" 0) ms xxd" "$r" "≤ 0.5×" "$(yes_no "$r <= 0.5")"

  # 7: a script host run reading 10,000 sectors one after another. The data
  # area is disk section 4 (3 is the root directory); the reads start at the
  # sector SectorDataLocation names, which dd then reads the same way.
  note "7: volumar call reading 10,000 sectors against dd"
  section=4
  start=("$volumar" -d "C=$img32" call clsQzVolmDrwA 'DrivePP="C:"' "DiskSectionPP=$section")
  location() { sed -n 's/^SectorDataLocation = "[^,]*,[^,]*,\([0-9-]*\),.*/\1/p' | tail -n 1; }
  min=$("${start[@]}" MinSectorPP | sed -n 's/^MinSectorPP = //p')
  ((min == data_start)) || notes+=("disk section $section starts at sector $min, the data area at $data_start.")
  from=$("${start[@]}" SectorDataLocation | location)
  for _ in $(seq 10000); do printf 'ReadSectorDataWhole\nNextSectorPP\n'; done >"$work/steps.txt"
  # Steps on the command line run before the script's, so the last one comes in on standard input.
  to=$({ cat "$work/steps.txt" && echo SectorDataLocation; } | "${start[@]}" --script - | location)
  [[ -n $from && -n $to ]] || die "SectorDataLocation gave no sector number"
  ((to - from == 10000)) || notes+=("the call script moved from sector $from to $to, not 10,000 sectors on.")
  ((from >= data_start)) || notes+=("the call script reads sectors $from-$((from + 9999)) (it starts where the current sector is, not at the data area); dd reads the same ones.")
  # Both through bash, for the same start-up.
  printf 'exec %s\n' "$(q "${start[@]}" --script "$work/steps.txt")" >"$work/call.sh"
  printf 'exec %s\n' "$(q dd if="$img32" of=/dev/null bs="$bps" skip="$from" count=10000 status=none)" >"$work/dd.sh"
  time_commands "bash $work/call.sh" "bash $work/dd.sh"
  r=$(calc "${median[0]} / ${median[1]}")
  row "7 call: 10,000 sectors in order" "$(ms "${median[0]}" 0) ms" "$(ms "${median[1]}") ms dd" "$r" "≤ 10×" "$(yes_no "$r <= 10")"

  # 8: one cluster near the end marked bad: sectors written in each FAT copy,
  # counted from the platform's WriteFile calls.
  note "8: sectors written per FAT copy by mark"
  read_boot "$img512"
  cluster=$((clusters + 1 - 16))
  "$volumar" --trace --journal "$journal" mark "$img512" bad --cluster "$cluster" --yes >"$work/mark.out" 2>"$work/mark.trace" || {
    cat "$work/mark.out" "$work/mark.trace" >&2
    die "volumar mark failed"
  }
  per_copy=$(python3 - "$work/mark.trace" "$bps" "$res" "$spf" "$nfats" <<'EOF'
import re, sys
trace, bps, res, spf, nfats = sys.argv[1], *map(int, sys.argv[2:])
sectors = [set() for _ in range(nfats)]
seen = False
for line in open(trace, errors="replace"):
    m = re.search(r"WriteFile\(.*\).*\bat=(\d+) written=(\d+)", line)
    if not m:
        continue
    seen = True
    at, n = int(m[1]), int(m[2])
    for s in range(at // bps, (at + max(n, 1) - 1) // bps + 1):
        k = (s - res) // spf
        if s >= res and k < nfats:
            sectors[k].add(s)
if not seen:
    sys.exit("no WriteFile call with at= and written= in the trace")
print(",".join(str(len(s)) for s in sectors))
EOF
  ) || die "cannot count the writes of mark in $work/mark.trace"
  worst=$(tr ',' '\n' <<<"$per_copy" | sort -n | tail -n 1)
  fewest=$(tr ',' '\n' <<<"$per_copy" | sort -n | head -n 1)
  row "8 mark 1 cluster near the FAT's end" "$per_copy sectors (per copy)" "1 sector" "$worst" "1 per copy" \
    "$(yes_no "$worst == 1 && $fewest == 1")"
  rm -f "$img32" "$img512"

  echo
  print_table "$rows" figure ours baseline ratio goal met
  for n in "${notes[@]}"; do echo "note: $n"; done
fi

if ((scale)); then
  : >"$rows"
  for gib in 8 32 128 512 1024; do
    note "scale: FAT of $gib MiB"
    img=$work/scale.img
    make_volume "$img" "$gib"
    sync
    fat_load "$img"
    kib=$(peak_kib "$volumar" info "$img")
    rss_mib=$(calc "$kib / 1024" 1)
    fat_exact=$(calc "$spf * $bps / 1048576" 1)
    row "$fat_exact" "$(ms "$info_s")" "$(ms "$dd_s")" "$(calc "$info_s / $dd_s")" "$rss_mib" "$(calc "$rss_mib / $fat_exact")"
    rm -f "$img"
  done
  echo
  print_table "$rows" "FAT MiB" "info ms (median)" "dd ms (median)" ratio "peak RSS MiB" "RSS/FAT"
fi

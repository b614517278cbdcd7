#!/usr/bin/env bash
# Runs the VBScript tests of volumar10.dll under Wine: a fresh prefix, the
# DLL registered by regsvr32, FAT12/16/32 volumes made by mkfs.fat attached
# to loop devices and mapped as drives D:, E:, F: (the raw volume as "d::",
# an empty folder as "d:", so Wine reports the volume's own file system).
# Needs root for losetup. Usage: run_wine_tests.sh path/to/volumar10.dll
set -euo pipefail
dll=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/volumar10-wine.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Message boxes are printed, not shown: nobody is there to click.
export VOLUMAR10_MESSAGE_BOXES=stderr
loops=()
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

wineboot -i >/dev/null 2>&1
cp "$dll" "$work/volumar10.dll"
wine regsvr32 /s "$work/volumar10.dll"
echo "registered $(wine reg query 'HKCR\Volumar10.clsQzVolmDrwA\CLSID' /ve 2>/dev/null | tr -d '\r' | awk '/REG_SZ/ {print $3}')"

# Field of the boot sector: offset, size.
field() { od -An -tu"$3" -j"$2" -N"$3" "$1" | tr -d ' '; }

# The expected answers of geometry.vbs, from the boot sector's own fields.
expectations() {  # image label serial
  local img=$1 bps spc reserved fats root_entries total16 spf16 total32 spf32 total spf root
  bps=$(field "$img" 11 2); spc=$(field "$img" 13 1); reserved=$(field "$img" 14 2); fats=$(field "$img" 16 1)
  root_entries=$(field "$img" 17 2); total16=$(field "$img" 19 2); spf16=$(field "$img" 22 2)
  total32=$(field "$img" 32 4); spf32=$(field "$img" 36 4)
  total=$(( total16 ? total16 : total32 )); spf=$(( spf16 ? spf16 : spf32 ))
  root=$(( reserved + fats * spf ))
  if [ "$root_entries" = 0 ]; then root=$(( root + ($(field "$img" 44 4) - 2) * spc )); fi
  # Cluster 3: free on every fresh volume (FAT32 keeps its root in cluster 2).
  local data=$(( reserved + fats * spf + (root_entries * 32 + bps - 1) / bps + spc ))
  echo "$2 &H$3 $bps $spc $total $reserved $fats $spf $root $data"
}

failures=0
run() {  # script and arguments
  local script=$1 rc=0
  shift
  echo "== $script $*"
  # cscript runs nothing from an LF-only file and exits 0; refuse one.
  if ! grep -q $'\r$' "$here/$script"; then echo "FAIL $script lacks CR LF line ends"; failures=$((failures + 1)); return; fi
  cat "$here/checks.vbs" "$here/$script" >"$work/$script"
  local out
  out=$(timeout 300 wine cscript //nologo "$(winepath -w "$work/$script")" "$@" | tr -d '\r') || rc=$?
  echo "$out"
  # An uncaught script error ends the run silently with status 0: a script
  # passes only when it reached its own closing count.
  if [ "$rc" != 0 ] || [ "$(tail -n 1 <<<"$out")" != "0 failure(s)" ]; then
    [ "$rc" != 0 ] || echo "FAIL $script stopped before its end (an uncaught error)"
    failures=$((failures + 1))
  fi
}

for client in unload_check vtable_check; do
  echo "== $client.exe"
  if ! wine "$(dirname "$dll")/$client.exe" "$(winepath -w "$work/volumar10.dll")" | tr -d '\r'; then
    failures=$((failures + 1))
  fi
done

run classes.vbs

run registry.vbs
echo "== reg query"
got=$(wine reg query 'HKCR\Xyz.Document\shell\open\command' /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
if [ "$got" = 'C:\App\app.exe %1' ]; then echo "ok   reg query sees the open command"
else echo "FAIL reg query of the open command gives '$got'"; failures=$((failures + 1)); fi

drives=()
for volume in "D 12 1440 FLOPPY12 2024ABCD" "E 16 20480 VOLUME16 1616BEEF" "F 32 66000 VOLUME32 3232CAFE"; do
  read -r letter bits kib label serial <<<"$volume"
  img=$work/fat$bits.img
  mkfs.fat -C -F "$bits" -n "$label" -i "$serial" "$img" "$kib" >/dev/null
  cp "$img" "$work/fat$bits.cli.img"
  loop=$(losetup -f --show "$img")
  loops+=("$loop")
  lower=${letter,,}
  mkdir -p "$work/mnt-$lower"
  ln -sfn "$loop" "$WINEPREFIX/dosdevices/$lower::"
  ln -sfn "$work/mnt-$lower" "$WINEPREFIX/dosdevices/$lower:"
  drives+=("$letter: $(expectations "$img" "$label" "$serial")")
done
# The running wineserver has read the drive list already; a new one reads it afresh.
wineserver -w

for drive in "${drives[@]}"; do
  read -r -a args <<<"$drive"
  run geometry.vbs "${args[@]}"
  run clusters.vbs "${args[0]}" "${args[4]}" "${args[10]}"
done
# The images are compared as files: nothing may still hold them.
wineserver -k
for loop in "${loops[@]}"; do losetup -d "$loop"; done
loops=()

# The volumes as Linux sees them: still clean, the written row in place, and
# byte for byte what the CLI makes of the same fresh image with the same edits.
volumar=$here/../../build/tools/volumar
# The editor writes back the whole sector as its rows show it: zero bytes as ".".
dots() { printf "%${1}s" "" | tr ' ' .; }
for bits in 12 16 32; do
  img=$work/fat$bits.img copy=$work/fat$bits.cli.img
  read -r -a want <<<"$(expectations "$img" x 0)"
  sector_hex=$({ dots 64; printf %s "Hello, sector! f"; dots $(( want[2] - 80 )); } | od -An -v -tx1)
  echo "== fat$bits.img from Linux"
  if "$volumar" --no-journal -q mark "$copy" bad --cluster 4 --yes --force >/dev/null &&
     "$volumar" --no-journal -q mark "$copy" bad --cluster 5 --yes --force >/dev/null &&
     "$volumar" --no-journal -q mark "$copy" free --cluster 4 --yes --force >/dev/null &&
     "$volumar" --no-journal -q write "$copy" --sector "${want[9]}" --offset 0 --hex "$sector_hex" --yes >/dev/null &&
     cmp -s "$img" "$copy"; then
    echo "ok   same bytes as the CLI's marks and write"
  else
    echo "FAIL the image differs from the CLI's (offset, octal bytes: Wine, CLI)"; failures=$((failures + 1))
    cmp -l "$img" "$copy" 2>/dev/null | head -n 8 || true
  fi
  if fsck.fat -n "$img" >/dev/null 2>&1; then echo "ok   fsck.fat -n clean"; else echo "FAIL fsck.fat -n"; failures=$((failures + 1)); fi
  row=$(dd if="$img" bs=1 skip=$(( want[9] * want[2] + 64 )) count=16 status=none)
  if [ "$row" = "Hello, sector! f" ]; then echo "ok   row 5 of sector ${want[9]} on the image"
  else echo "FAIL row 5 of sector ${want[9]} on the image is '$row'"; failures=$((failures + 1)); fi
done

echo "== regsvr32 /u"
wine regsvr32 /u /s "$work/volumar10.dll"
if wine reg query 'HKCR\Volumar10.clsQzVolmDrwA' >/dev/null 2>&1; then
  echo "FAIL the ProgID is still registered"; failures=$((failures + 1))
else
  echo "ok   unregistered"
fi

echo "== $failures failure(s)"
exit $(( failures ? 1 : 0 ))

#!/usr/bin/env bash
# The in-process COM server volumar10.dll, cross-built with mingw-w64.
#   scripts/native.sh build   builds build-native/volumar10.dll (x86-64) and
#                             compiles the i686 one in build-native-i686/;
#                             prints the DLL's path on its last line
#   scripts/native.sh test    builds, then registers the DLL in a fresh Wine
#                             prefix and runs the VBScript tests under cscript
#   --no-i686 (after either)  leaves out the i686 DLL, which wine64 cannot
#                             load anyway (CI's choice)
# Missing packages are installed first (scripts/install-deps.sh). The type
# library generator and the volumar the tests compare with come from the
# host build in build/, as scripts/test.sh makes it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

need() {
  local missing=()
  for tool in "$@"; do command -v "$tool" >/dev/null || missing+=("$tool"); done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "native.sh: missing ${missing[*]}" >&2
    exit 2
  fi
}

# The type library generator runs on the build machine: the host build's
# own, so that CI, which has made build/ already, compiles nothing twice.
host_build() {  # targets
  [ -f build/CMakeCache.txt ] || cmake -S . -B build -DVOLUMAR_WERROR=ON >/dev/null
  cmake --build build --target "$@" -j"$jobs" >/dev/null
}

cross_build() {  # toolchain, binary dir
  cmake -S native -B "$2" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$1" \
        -DVOLUMAR_TYPELIB_GENERATOR="$root/build/volumar_typelib_generator" >/dev/null
  cmake --build "$2" -j"$jobs"
}

# Imports must name only system DLLs: a self-contained file.
check_imports() {
  local dll=$1 objdump=$2 foreign
  foreign=$("$objdump" -p "$dll" | awk '/DLL Name:/ {print tolower($3)}' |
            grep -vxE 'kernel32.dll|advapi32.dll|user32.dll|ole32.dll|oleaut32.dll|msvcrt.dll|api-ms-win-.*' || true)
  if [ -n "$foreign" ]; then
    echo "native.sh: $dll imports non-system DLLs: $foreign" >&2
    exit 1
  fi
  local exports
  exports=$("$objdump" -p "$dll" | grep -cE '\] Dll(CanUnloadNow|GetClassObject|RegisterServer|UnregisterServer)$' || true)
  if [ "$exports" != 4 ]; then
    echo "native.sh: $dll does not export the four Dll* entry points under their C names" >&2
    exit 1
  fi
}

build() {
  need x86_64-w64-mingw32-g++-posix widl cmake
  host_build volumar_typelib_generator
  cross_build mingw-w64-x86_64.cmake build-native
  check_imports build-native/volumar10.dll x86_64-w64-mingw32-objdump
  if [ "$i686" = yes ]; then
    need i686-w64-mingw32-g++-posix
    cross_build mingw-w64-i686.cmake build-native-i686
    check_imports build-native-i686/volumar10.dll i686-w64-mingw32-objdump
  fi
  echo "$root/build-native/volumar10.dll"
}

usage() {
  echo "usage: scripts/native.sh build|test [--no-i686]" >&2
  exit 2
}

i686=yes
case "${2:-}" in
  "") ;;
  --no-i686) i686=no ;;
  *) usage ;;
esac
[ $# -le 2 ] || usage
# Each DLL's compiler, and widl.
packages=(g++-mingw-w64-x86-64-posix wine64-tools)
[ "$i686" = no ] || packages+=(g++-mingw-w64-i686-posix)
case "${1:-}" in
  build)
    scripts/install-deps.sh "${packages[@]}"
    build
    ;;
  test)
    if [ "$(id -u)" != 0 ]; then echo "native.sh test: needs root for losetup" >&2; exit 2; fi
    scripts/install-deps.sh "${packages[@]}" wine64 wine
    need wine wineboot wineserver losetup mkfs.fat fsck.fat
    dll=$(build | tail -n 1)
    host_build volumar
    exec native/tests/run_wine_tests.sh "$dll"
    ;;
  *) usage ;;
esac

#!/usr/bin/env bash
# Installs the library (component volumar10) into a temporary prefix and
# builds examples/consumer against it twice, with find_package and with
# pkg-config; runs both on a FAT12 image from mkfs.fat and checks what they
# print. Exits nonzero on any failure.
#   scripts/consumer.sh [BUILD_DIR]   (default build/, as scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/install-deps.sh
export PATH="$PATH:/usr/sbin:/sbin"  # mkfs.fat, for users other than root

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake -S . -B "$build" -DVOLUMAR_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target volumar10
cmake --install "$build" --prefix "$prefix" --component volumar10 >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

fail() {
  echo "consumer: $*" >&2
  exit 1
}

# The headers sit in one volumar10 folder, and all of them compile as
# <volumar10/...> with the package's flags alone.
[ "$(ls "$prefix/include")" = volumar10 ] || fail "include/ holds more than volumar10/: $(ls "$prefix/include")"
pc=$(find "$prefix" -name volumar10.pc -path '*/pkgconfig/*')
[ -n "$pc" ] || fail "no volumar10.pc installed"
PKG_CONFIG_PATH=$(dirname "$pc")
export PKG_CONFIG_PATH
[ "$(pkg-config --modversion volumar10)" = "$version" ] || fail "volumar10.pc says $(pkg-config --modversion volumar10), not $version"
(cd "$prefix/include" && find volumar10 -name '*.h' | sort | sed 's/.*/#include <&>/') >"$work/all_headers.cpp"
# shellcheck disable=SC2046
c++ -Wall -Wextra -Werror -fsyntax-only $(pkg-config --cflags volumar10) "$work/all_headers.cpp" ||
  fail "the installed headers do not compile on their own"

mkfs.fat -C -F 12 -n CONSUMER -i 2024abcd "$work/floppy.img" 1440 >/dev/null
expected="Volumar10 $version
VolumarPP: FAT12
VolumeLabelPP: CONSUMER
Root directory: 19-32
Cipher: encoded, Volumar10"
check() {  # NAME PROGRAM...
  local name=$1 out
  shift
  out=$("$@" "$work/floppy.img") || fail "$name: the consumer failed"
  [ "$out" = "$expected" ] || fail "$name: printed
$out
expected
$expected"
  echo "$name: ok"
  printf '  %s\n' "${out//$'\n'/$'\n'  }"
}

cmake -S examples/consumer -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" \
  -DCMAKE_FIND_PACKAGE_NO_PACKAGE_REGISTRY=ON >/dev/null
cmake --build "$work/cmake" >/dev/null
check "find_package" "$work/cmake/volumar10_consumer"

# shellcheck disable=SC2046
c++ -Wall -Wextra -Werror examples/consumer/main.cpp -o "$work/pkg_consumer" $(pkg-config --cflags --libs volumar10)
check "pkg-config" env LD_LIBRARY_PATH="$(pkg-config --variable=libdir volumar10)" "$work/pkg_consumer"
echo "consumer: Volumar10 $version: a client builds and runs with find_package and with pkg-config"

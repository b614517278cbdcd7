#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need,
# only those that are missing.
#   scripts/install-deps.sh [PACKAGE...]   the named ones too, without their
#                                          recommendations (scripts/native.sh
#                                          names its cross-compilers and Wine)
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
packages=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev   # tests and benchmarks
  libsqlite3-dev                               # the persistent registry store
  libcli11-dev                                 # command-line options of volumar
  nlohmann-json3-dev                           # volumar's --json output
  libncurses-dev                               # the terminal sector editor
  libblkid-dev                                 # partition tables of whole disks
  python3-dev pybind11-dev python3-pytest      # import volumar10 (python/) and its tests
  dosfstools mtools sleuthkit                  # peers that make and check test volumes
  fdisk gdisk                                  # sfdisk and sgdisk: partitioned test disks
  tmux zsh xxd                                 # driving the terminal editor in tests; the dump benchmark
  hyperfine time                               # scripts/bench.sh: whole-process times and peak memory
  clang-format clang-tidy                      # scripts/lint.sh
  clang libclang-rt-14-dev                     # scripts/fuzz.sh: libFuzzer and the sanitizers for clang
)
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

# widl compiles the type library (its own dependencies only, not the whole
# of wine); without it the build embeds the IDL text instead.
if ! command -v widl >/dev/null 2>&1 && ! command -v widl-stable >/dev/null 2>&1; then
  { $sudo apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wine64-tools; } ||
    echo "widl not installed: the type library resource will be the IDL text"
fi

# Wine's recommendations (fonts, sound, 3D) are a desktop's, not the tests'.
extra=()
for p in "$@"; do installed "$p" || extra+=("$p"); done
if ((${#extra[@]})); then
  echo "installing: ${extra[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${extra[@]}"
fi

#!/usr/bin/env bash
# Installs what the build and the test suite need on a Debian 12 machine:
# the native tool chain, the two cross tool chains with their C libraries,
# the user-mode emulators that run the cross test binaries, GoogleTest's
# sources and the libraries of the store and the vxrhost command.
# Safe to run again: packages already present are skipped, and nothing is
# fetched when everything is there.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  g++
  binutils
  # i686 (windows flavour) and 32-bit big-endian PowerPC (solaris flavour).
  # The cross C libraries are only recommended by the compilers, so they are
  # named here.
  g++-i686-linux-gnu
  libc6-dev-i386-cross
  g++-powerpc-linux-gnu
  libc6-dev-powerpc-cross
  qemu-user
  googletest
  libsqlite3-dev
  sqlite3
  libcli11-dev
  nlohmann-json3-dev
  # vxrhost serve: the HTTP library (found through pkg-config), the chart
  # library the web console loads, and wrk for the server's load check
  libcpp-httplib-dev
  pkg-config
  libjs-chart.js
  wrk
  clang-format
  # libFuzzer harnesses (scripts/fuzz-smoke.sh) and the store benchmark
  clang
  libclang-rt-14-dev
  libbenchmark-dev
  # cpack -G DEB: dpkg-shlibdeps works out the package's dependencies.
  dpkg-dev
  file
  git
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}\n' "$p" 2>/dev/null | grep -qx installed; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if ((EUID != 0)); then
  if command -v sudo >/dev/null; then
    sudo=(sudo)
  else
    echo "setup: need root (or sudo) to install: ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
echo "setup: done"

#!/usr/bin/env bash
# The whole suite on other architectures: cross-built with Debian's compilers for aarch64 (ARM)
# and s390x (big-endian), with GoogleTest built for each as windows.sh builds it for mingw, and
# run under qemu-user. Needs root for apt-get and binfmt_misc on a fresh Debian 12 machine.
set -euo pipefail
cd "$(dirname "$0")/.."

export DEBIAN_FRONTEND=noninteractive
apt-get update || echo "apt-get update failed; installing from the package lists at hand"
source .ci/packages.sh
list=$(packages cross)
read -ra names <<<"$list"
# Waits for another apt-get on the machine rather than failing.
apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "${names[@]}"

# The tests that start the built program need the kernel to hand it to qemu by itself.
binfmt_ready() {
  local arch
  mountpoint -q /proc/sys/fs/binfmt_misc ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || return 1
  for arch in "$@"; do
    update-binfmts --enable "qemu-$arch" >/dev/null 2>&1 || true
    [[ -e /proc/sys/fs/binfmt_misc/qemu-$arch ]] || return 1
  done
}

for arch in aarch64 s390x; do
  build=build-$arch
  toolchain=$PWD/cmake/$arch-linux-gnu.cmake
  gtest_prefix=$PWD/$build/googletest/install
  echo "== $arch"
  if [[ ! -f $gtest_prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
    cmake -S /usr/src/googletest -B "$build/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_GMOCK=OFF
    cmake --build "$build/googletest" -j2
    cmake --install "$build/googletest"
  fi
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTARNWICK_WERROR=ON \
    -DTARNWICK_TESTS=ON -DGTest_DIR="$gtest_prefix/lib/cmake/GTest"
  cmake --build "$build" -j2
  if binfmt_ready "$arch"; then
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j2
  else
    echo "cross.sh: SKIPPED on $arch: the tests of the built program (label 'program'), since" \
      "binfmt_misc cannot hand a $arch program to qemu here; the rest run under qemu"
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 -LE program
  fi
done
echo "cross.sh: the suite passed on aarch64 and s390x under qemu-user"

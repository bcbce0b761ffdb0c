#!/usr/bin/env bash
# The whole suite on other architectures: cross-built with Debian's compilers for aarch64 (ARM)
# and s390x (big-endian), with GoogleTest built for each, and run under qemu-user. Needs root for apt-get and binfmt_misc on a fresh Debian 12 machine.
set -euo pipefail
cd "$(dirname "$0")/.."

source .ci/packages.sh
install_packages cross

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
  echo "== $arch"
  # GoogleTest is built for the architecture with the suite, from Debian's copy of its
  # sources, by the same fetch path a machine without GoogleTest takes.
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$arch-linux-gnu.cmake" \
    -DTARNWICK_WERROR=ON -DTARNWICK_TESTS=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    -DFETCHCONTENT_SOURCE_DIR_GOOGLETEST=/usr/src/googletest
  cmake --build "$build" -j2
  if binfmt_ready "$arch"; then
    TARNWICK_TEST_EMULATOR=qemu-user ctest --test-dir "$build" --output-on-failure --no-tests=error -j2
  else
    echo "cross.sh: SKIPPED on $arch: the tests of the built program (label 'program'), since" \
      "binfmt_misc cannot hand a $arch program to qemu here; the rest run under qemu"
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 -LE program
  fi
done
echo "cross.sh: the suite passed on aarch64 and s390x under qemu-user"

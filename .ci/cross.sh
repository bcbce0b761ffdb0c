#!/usr/bin/env bash
# The whole suite on other architectures: cross-built with Debian's compilers for aarch64 (ARM),
# s390x (big-endian) and 32-bit ARM (armel, on the Pi Zero's ARMv6 core), with GoogleTest built
# for each, and run under qemu-user. Needs root for apt-get and binfmt_misc on a fresh Debian 12
# machine.
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

for target in aarch64-linux-gnu s390x-linux-gnu arm-linux-gnueabi; do
  arch=${target%%-*}
  build=build-$arch
  echo "== $arch"
  # GoogleTest is built for the architecture with the suite, from Debian's copy of its
  # sources, by the same fetch path a machine without GoogleTest takes.
  cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$target.cmake" \
    -DTARNWICK_WERROR=ON -DTARNWICK_TESTS=ON -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    -DFETCHCONTENT_SOURCE_DIR_GOOGLETEST=/usr/src/googletest
  cmake --build "$build" -j2
  # The programs that binfmt_misc hands to qemu run on the processor the toolchain file names
  # for ctest's emulator, where it names one.
  cpu=$(sed -n 's/^set(tarnwick_cross_cpu \(.*\))$/\1/p' "cmake/$target.cmake")
  if binfmt_ready "$arch"; then
    env TARNWICK_TEST_EMULATOR=qemu-user ${cpu:+"QEMU_CPU=$cpu"} \
      ctest --test-dir "$build" --output-on-failure --no-tests=error -j2
  else
    echo "cross.sh: SKIPPED on $arch: the tests of the built program (label 'program'), since" \
      "binfmt_misc cannot hand a $arch program to qemu here; the rest run under qemu"
    env ${cpu:+"QEMU_CPU=$cpu"} ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 -LE program
  fi
done
echo "cross.sh: the suite passed on aarch64, s390x and arm (ARMv6) under qemu-user"

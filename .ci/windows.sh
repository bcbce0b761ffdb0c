#!/usr/bin/env bash
# Cross-builds tarnwick.exe and its tests for 64-bit Windows with mingw-w64 (warnings as
# errors), runs clang-tidy over them and the tests under Wine, and packs
# build-win/tarnwick-VERSION-win64.zip with CPack. Needs root for apt-get on a fresh Debian 12
# machine.
set -euo pipefail
cd "$(dirname "$0")/.."

export DEBIAN_FRONTEND=noninteractive
# The list is the windows group of .ci/packages.
source .ci/packages.sh
list=$(packages windows)
read -ra names <<<"$list"
apt-get update || echo "apt-get update failed; installing from the package lists at hand"
# Waits for another apt-get on the machine rather than failing.
apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "${names[@]}"

build="build-win"
toolchain=$PWD/cmake/mingw-w64.cmake
gtest_build=$build/googletest
gtest_prefix=$PWD/$gtest_build/install

# Wine keeps its own Windows installation inside the build folder, and says nothing.
export WINEPREFIX=$PWD/$build/wine
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
# The server and the services wineboot starts must not hold the script's or ctest's output
# open, or ctest waits for them forever; so they start apart, on /dev/null.
wineserver -p </dev/null >/dev/null 2>&1
trap 'wineserver -k || true' EXIT
wine wineboot </dev/null >/dev/null 2>&1

# GoogleTest for mingw, from Debian's source package.
if [[ ! -f $gtest_prefix/lib/cmake/GTest/GTestConfig.cmake ]]; then
  cmake -S /usr/src/googletest -B "$gtest_build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" -DBUILD_GMOCK=OFF
  cmake --build "$gtest_build" -j2
  cmake --install "$gtest_build"
fi

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTARNWICK_WERROR=ON \
  -DTARNWICK_TESTS=ON -DGTest_DIR="$gtest_prefix/lib/cmake/GTest"
cmake --build "$build" -j2

# clang-tidy over what the Windows build compiles, its own files among them, for the mingw
# target and with mingw's C++ headers in place of the system's.
gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
bash .ci/tidy.sh "$build" --extra-arg-before=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++ \
  --extra-arg=-isystem"$gcc_dir/include/c++" \
  --extra-arg=-isystem"$gcc_dir/include/c++/x86_64-w64-mingw32" \
  --extra-arg=-isystem"$gcc_dir/include/c++/backward"

# Now and then Wine fails to start a program: the test ends at once with no output (once in
# about 7000 starts here). Each test gets a second try; a test that fails on its own merit
# fails both.
ctest --test-dir "$build" --output-on-failure --repeat until-pass:2

# The ZIP, and the program in it converting the bundled example.
(cd "$build" && cpack -G ZIP)
zip=$(realpath "$build/tarnwick-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")-win64.zip")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"; wineserver -k || true' EXIT
(cd "$scratch" && cmake -E tar xf "$zip")
unpacked=("$scratch"/*/)
files=$(cd "${unpacked[0]}" && printf '%s\n' * doc/* | sort | tr '\n' ' ')
[[ $files == "LICENSE README.md doc doc/windows.md tarnwick.exe " ]] || {
  echo "windows.sh: $zip holds $files, not tarnwick.exe, README.md, doc/windows.md and LICENSE" >&2
  exit 1
}
cp examples/hello.hex "$scratch/"
output=$(cd "$scratch" && wine "${unpacked[0]}tarnwick.exe" hello.hex </dev/null)
[[ $output == *$'Success!\r' && -s $scratch/hello.86p ]] || {
  echo "windows.sh: the packaged tarnwick.exe did not convert hello.hex:"$'\n'"$output" >&2
  exit 1
}
echo "windows.sh: $(basename "$zip") holds tarnwick.exe, README.md, doc/windows.md and LICENSE," \
  "and it converts"

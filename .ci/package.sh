#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks that the package holds the
# program, its manual page, its licence, changelog, README and lintian override, and nothing else,
# that lintian finds no error or warning in it, and that a plain
# `cmake --install` puts the program and its manual page in place.
# Run from the repository root after the build folder is built. TARNWICK_PACKAGE_BUILD names
# another build folder (default: build); TARNWICK_PACKAGE_EMULATOR, a program that runs what a
# cross build made (qemu-aarch64-static, say).
set -euo pipefail
cd "$(dirname "$0")/.."

build=$(realpath "${TARNWICK_PACKAGE_BUILD:-build}")
if [[ ! -f $build/CMakeCache.txt ]]; then
  echo "package.sh: $build is not a configured build folder" >&2
  exit 1
fi

fail() {
  echo "package.sh: FAIL: $*" >&2
  exit 1
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The manual page must format without a single warning.
check_manual() {
  local warnings
  warnings=$(man --warnings -l "$1" 2>&1 >/dev/null) || fail "man could not format $1"
  [[ -z $warnings ]] || fail "man --warnings -l $1 warns:"$'\n'"$warnings"
}

# The program must run from where it was put and convert the bundled example.
check_program() {
  local run
  run=$(mktemp -d "$scratch/run.XXXXXX")
  cp examples/hello.hex "$run/"
  local output
  output=$(cd "$run" && ${TARNWICK_PACKAGE_EMULATOR:+"$TARNWICK_PACKAGE_EMULATOR"} "$1" hello.hex) ||
    fail "$1 did not run"
  [[ $output == *$'\n'Success! && -s $run/hello.86p ]] ||
    fail "$1 did not convert examples/hello.hex:"$'\n'"$output"
}

# The package, in a folder of its own so that no older package is taken for it.
package_dir=$build/package
rm -rf "$package_dir"
(cd "$build" && cpack -G DEB -B "$package_dir")
shopt -s nullglob
debs=("$package_dir"/*.deb)
shopt -u nullglob
((${#debs[@]} == 1)) || fail "expected one .deb in $package_dir, found ${#debs[@]}"
deb=${debs[0]}
echo "package.sh: checking $deb"

info=$(dpkg-deb --info "$deb") || fail "dpkg-deb --info cannot read $deb"
echo "$info"
for field in Package Version Architecture Maintainer Section Description; do
  grep -Eq "^ $field: ." <<<"$info" || fail "the package has no $field field"
done
[[ $(dpkg-deb --field "$deb" Package) == tarnwick ]] || fail "the package is not named tarnwick"

contents=$(dpkg-deb --contents "$deb") || fail "dpkg-deb --contents cannot read $deb"
echo "$contents"
grep -Eq '^-rwxr-xr-x root/root .* \./usr/bin/tarnwick$' <<<"$contents" ||
  fail "the package has no executable ./usr/bin/tarnwick"
# The paths of everything but folders: the program, one manual page, the licence, the
# changelog and the README for users, nothing else.
files=$(grep -v '^d' <<<"$contents" | awk '{ print $NF }' | sort)
doc=./usr/share/doc/tarnwick
manual=
for page in ./usr/share/man/man1/tarnwick.1.gz ./usr/share/man/man1/tarnwick.1; do
  grep -Fqx "$page" <<<"$files" && manual=$page && break
done
[[ -n $manual ]] || fail "the package has no manual page ./usr/share/man/man1/tarnwick.1[.gz]"
# A static program brings lintian's override for it.
override=./usr/share/lintian/overrides/tarnwick
expected=$(printf '%s\n' ./usr/bin/tarnwick "$manual" "$doc/copyright" "$doc/changelog.gz" \
  "$doc/README.txt" "$override" |
  sort)
[[ $files == "$expected" ]] ||
  fail "the package does not hold exactly the program, its manual page, copyright, changelog," \
    "README and lintian override:"$'\n'"$files"

dpkg-deb -x "$deb" "$scratch/root"
check_program "$scratch/root/usr/bin/tarnwick"
check_manual "$scratch/root/${manual#./}"
cmp "$scratch/root/${doc#./}/copyright" LICENSE || fail "the package's copyright file is not LICENSE"
# The manual page names the README where the package puts it.
grep -Fqx "${doc#.}/README.txt" <(man -l "$scratch/root/${manual#./}" 2>/dev/null | sed 's/^ *//') ||
  fail "the manual page does not name ${doc#.}/README.txt"

# lintian must find no error and no warning; the deliberate static link is overridden, with
# its reason, in the package itself.
command -v lintian >/dev/null || fail "lintian is not installed (Debian package lintian)"
tags=$(lintian --no-cfg "$deb" 2>&1) || true
echo "$tags"
! grep -Eq '^[EW]: ' <<<"$tags" || fail "lintian finds errors or warnings in $deb"

# A plain install into a prefix.
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix"
[[ -x $prefix/bin/tarnwick && -f $prefix/bin/tarnwick ]] ||
  fail "cmake --install put no executable at bin/tarnwick"
[[ -f $prefix/share/man/man1/tarnwick.1 ]] ||
  fail "cmake --install put no manual page at share/man/man1/tarnwick.1"
check_program "$prefix/bin/tarnwick"
check_manual "$prefix/share/man/man1/tarnwick.1"

echo "package.sh: $(basename "$deb") and cmake --install both hold bin/tarnwick and its manual page"

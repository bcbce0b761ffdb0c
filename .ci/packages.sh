#!/usr/bin/env bash
# Sourced by the CI scripts: `packages GROUP...` prints the Debian packages that .ci/packages
# lists for the named groups, on one line, each package once. An unknown group, or a group
# that lists nothing, is an error, so that no script installs less than it needs unnoticed.
# Take the list in an assignment of its own, which set -e stops at, not inside the install
# command, where a failure would go unseen:
#   source .ci/packages.sh; list=$(packages ci tests); read -ra names <<<"$list"
# `install_packages GROUP...` installs them (as root), as every CI script does.

# The list beside this file, wherever the caller stands.
tarnwick_packages_file=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/packages

packages() {
  (($# > 0)) || { echo "packages: name at least one group of $tarnwick_packages_file" >&2; return 1; }
  [[ -r $tarnwick_packages_file ]] || { echo "packages: cannot read $tarnwick_packages_file" >&2; return 1; }
  local want line group name found
  local -a names out=()
  local -A seen=()
  for want in "$@"; do
    found=0
    while IFS= read -r line || [[ -n $line ]]; do
      line=${line%%#*}
      [[ $line == *:* ]] || continue
      read -r group <<<"${line%%:*}"
      [[ $group == "$want" ]] || continue
      read -ra names <<<"${line#*:}"
      for name in "${names[@]}"; do
        found=$((found + 1))
        [[ -n ${seen[$name]:-} ]] && continue
        seen[$name]=1
        out+=("$name")
      done
    done <"$tarnwick_packages_file"
    ((found > 0)) || { echo "packages: $tarnwick_packages_file lists no package for the group '$want'" >&2; return 1; }
  done
  echo "${out[*]}"
}

# Installs the named groups' packages, after an update whose failure leaves the package lists
# at hand to install from, and waits for another apt-get on the machine rather than failing.
install_packages() {
  local list
  list=$(packages "$@") || return 1
  local -a names
  read -ra names <<<"$list"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update || echo "apt-get update failed; installing from the package lists at hand"
  apt-get install -y --no-install-recommends -o DPkg::Lock::Timeout=600 "${names[@]}"
}

#!/usr/bin/env bash
# The web page: build it with emscripten, then drive it in Chromium, Firefox and WebKit and
# compare its downloads with the native program's output. Installs what it needs on a fresh
# Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

# The list is the web group of .ci/packages.
source .ci/packages.sh
install_packages web

# The native program the page is compared with.
cmake -S . -B build-web-native -DTARNWICK_WERROR=ON
cmake --build build-web-native -j2 --target tarnwick

emcmake cmake -S . -B build-web -DTARNWICK_WERROR=ON
cmake --build build-web -j2

# The page's size as this build makes it, which doc/web.md leaves to this list.
echo "web.sh: the page's files, in bytes and in bytes after gzip -9:"
for file in build-web/site/*; do
  echo "$(wc -c <"$file") $(gzip -9n <"$file" | wc -c) ${file##*/}"
done | awk '{ printf "%9d %9d  %s\n", $1, $2, $3; b += $1; g += $2 } END { printf "%9d %9d  all\n", b, g }'

# The page's test in each engine, each from file://: puppeteer-core drives the Chromium and
# the Firefox installed above and never downloads a browser; WebKitWebDriver drives WebKit in
# an X server of its own. Every engine runs, and any that fails fails the script.
(cd web/test && npm ci --no-audit --no-fund)
failed=0
for engine in chromium firefox webkit; do
  run=(node web/test/page_test.mjs "$engine" build-web/site build-web-native/tarnwick build-web)
  [[ $engine != webkit ]] || run=(xvfb-run -a -s '-screen 0 1600x1200x24' "${run[@]}")
  start=$SECONDS
  if "${run[@]}"; then
    echo "page test: $engine passed ($((SECONDS - start)) s)"
  else
    echo "page test: $engine failed ($((SECONDS - start)) s)"
    failed=1
  fi
done
exit "$failed"

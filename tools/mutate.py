#!/usr/bin/env python3
"""Plants faults in tarnwick's sources one at a time and counts how many the suite catches.

Usage: tools/mutate.py [--count N] [--seed S] [--build DIR] [--list]

Each fault is one of: a relational operator swapped (< and <=, > and >=, == and !=), an
integer constant made one larger, a statement deleted, or a boolean flipped (true and false,
&& and ||, a ! removed). The candidates are every place in the sources the Linux build
compiles; N of them (120 unless told) are drawn with the seed, in a fixed order, and each is
built and run through ctest. A fault that does not compile is replaced by the next
candidate, so the score is over N faults that built. A fault is caught when a test fails or
times out. One the suite misses is then run through CI's sanitizer suite (.ci/sanitize.sh, in
DIR-san), which catches what a release build hides, such as a write one byte past a buffer;
--no-sanitize skips that. A file is restored as soon as the faults move on from it, and on any
exit.

It prints one line a fault (caught, or SURVIVED with the changed line) and the score.
"""
import argparse
import json
import os
import random
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

RELATIONAL = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > ", " == ": " != ",
              " != ": " == "}
LOGICAL = {" && ": " || ", " || ": " && ", "true": "false", "false": "true"}
NUMBER = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)(?=[uUlLzZ]*(?![\w.']))")
NEGATION = re.compile(r"(?<![\w)\]])!(?=[\w(])")
WORD = re.compile(r"\b(true|false)\b")
# A statement alone on its line that may go: a call, an assignment, a jump. Declarations are
# left out; deleting one seldom compiles.
STATEMENT = re.compile(r"^\s*(?!(return|using|namespace|case|default|struct|class|enum|template|"
                       r"static_assert|static|const|constexpr|auto|int|bool|char|unsigned|std)\b)"
                       r"(\+\+|--|\*|::)?[A-Za-z_][^;]*;\s*$")


def code_part(line):
    """The line without its comment and with its string and character literals blanked."""
    out = []
    i = 0
    while i < len(line):
        c = line[i]
        if line.startswith("//", i):
            break
        if c in "\"'":
            j = i + 1
            while j < len(line) and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            out.append(c + " " * (min(j, len(line)) - i - 1) + c)
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)


def candidates(path):
    """Every fault that may be planted in the file `path`: (line index, new line, kind)."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    found = []
    for n, line in enumerate(lines):
        code = code_part(line)
        stripped = code.strip()
        if not stripped or stripped.startswith("#") or "static_assert" in code:
            continue
        for old, new in RELATIONAL.items():
            for m in re.finditer(re.escape(old), code):
                found.append((n, line[:m.start()] + new + line[m.end():], "relational"))
        for old in (" && ", " || "):
            for m in re.finditer(re.escape(old), code):
                found.append((n, line[:m.start()] + LOGICAL[old] + line[m.end():], "boolean"))
        for m in WORD.finditer(code):
            found.append((n, line[:m.start()] + LOGICAL[m.group(1)] + line[m.end():], "boolean"))
        for m in NEGATION.finditer(code):
            found.append((n, line[:m.start()] + line[m.end():], "boolean"))
        for m in NUMBER.finditer(code):
            digits = m.group(1)
            if digits.lower().startswith("0x"):
                text = hex(int(digits, 16) + 1)
            elif len(digits) > 1 and digits.startswith("0"):
                text = "0" + format(int(digits, 8) + 1, "o")
            else:
                text = str(int(digits) + 1)
            found.append((n, line[:m.start()] + text + line[m.end():], "constant"))
        previous = code_part(lines[n - 1]).rstrip() if n else ""
        if STATEMENT.match(code) and (not previous or previous[-1] in ";{}:"):
            found.append((n, "", "deleted"))
    return [(path, n, new, kind, lines[n]) for n, new, kind in found]


def compiled_sources(build):
    """The sources under src/ that the build in `build` compiles, and the headers they use."""
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        files = {os.path.realpath(e["file"]) for e in json.load(f)}
    src = os.path.join(ROOT, "src")
    cpps = sorted(p for p in files if p.startswith(src + os.sep))
    headers = set()
    for cpp in cpps:
        with open(cpp, encoding="utf-8") as f:
            for inc in re.findall(r'#include "([^"]+\.h)"', f.read()):
                path = os.path.join(src, inc)
                if os.path.exists(path):
                    headers.add(os.path.realpath(path))
    return cpps + sorted(headers)


def run(cmd, timeout):
    try:
        return subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def first_failed(out):
    """The first test ctest's output `out` lists as failed, "?" for one it cannot name, or ""."""
    if "The following tests FAILED:" not in out:
        return ""
    failed = re.search(r"^\s*\d+ - (\S+)", out.split("The following tests FAILED:")[-1], re.M)
    return failed.group(1) if failed else "?"


def failing_test(build):
    """The first test ctest finds failing in `build`, "" when all pass, "timeout" past 20 min."""
    try:
        out = subprocess.run(["ctest", "--test-dir", build, "-j2", "--timeout", "60",
                              "--stop-on-failure"], capture_output=True, text=True,
                             timeout=1200).stdout
    except subprocess.TimeoutExpired:
        return "timeout"
    return first_failed(out) or ("" if "tests passed" in out else "?")


def failing_sanitized_test(build):
    """The first test the sanitizer suite in `build` finds failing; "" when all pass or the
    fault does not build there (warnings are errors in that build)."""
    try:
        out = subprocess.run(["bash", os.path.join(ROOT, ".ci", "sanitize.sh"), build],
                             capture_output=True, text=True, timeout=1800,
                             env=dict(os.environ, CTEST_PARALLEL_LEVEL="2")).stdout
    except subprocess.TimeoutExpired:
        return "timeout"
    return first_failed(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", type=int, default=120)
    parser.add_argument("--seed", type=int, default=24)
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutate"))
    parser.add_argument("--list", action="store_true", help="only list the drawn candidates")
    parser.add_argument("--no-sanitize", action="store_true",
                        help="leave out the sanitizer suite's second look at survivors")
    args = parser.parse_args()

    subprocess.run(["cmake", "-S", ROOT, "-B", args.build, "-DTARNWICK_TESTS=ON",
                    "-DCMAKE_EXPORT_COMPILE_COMMANDS=ON", "-DCMAKE_BUILD_TYPE=Release"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", args.build, "-j2"], check=True, stdout=subprocess.DEVNULL)
    # A suite that fails unchanged would count every fault as caught.
    if failing_test(args.build):
        sys.exit("mutate: the suite fails before any fault is planted")
    sanitized = args.build.rstrip(os.sep) + "-san"
    if not args.no_sanitize and not args.list and failing_sanitized_test(sanitized):
        sys.exit("mutate: the sanitizer suite fails before any fault is planted")
    pool = [c for path in compiled_sources(args.build) for c in candidates(path)]
    random.Random(args.seed).shuffle(pool)
    print(f"mutate: {len(pool)} candidate faults in the sources the build compiles")
    if args.list:
        for path, n, new, kind, old in pool[:args.count]:
            print(f"{os.path.relpath(path, ROOT)}:{n + 1}: {kind}: {new.strip() or '(deleted)'}")
        return 0

    # A plain kill would leave a fault in the sources; it ends the run through `finally` instead.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("mutate: stopped"))
    originals = {}
    caught = tried = 0
    survivors = []
    start = time.time()
    try:
        drawn = 0
        while tried < args.count and drawn < len(pool):
            # The next faults still needed, taken a file at a time so that each file is built
            # again only when the faults move on from it.
            batch = sorted(pool[drawn:drawn + args.count - tried], key=lambda c: (c[0], c[1]))
            drawn += len(batch)
            for path, n, new, kind, old in batch:
                # Only one fault at a time: the file the last one was in is put back first.
                for other, text in originals.items():
                    if other != path:
                        with open(other, "w", encoding="utf-8") as f:
                            f.write(text)
                originals = {k: v for k, v in originals.items() if k == path}
                if path not in originals:
                    with open(path, encoding="utf-8") as f:
                        originals[path] = f.read()
                lines = originals[path].split("\n")
                lines[n] = new
                with open(path, "w", encoding="utf-8") as f:
                    f.write("\n".join(lines))
                built = run(["cmake", "--build", args.build, "-j2"], 600) == 0
                if not built:
                    continue
                tried += 1
                failed = failing_test(args.build)
                if not failed and not args.no_sanitize:
                    failed = failing_sanitized_test(sanitized)
                    failed = failed and f"{failed} under the sanitizers"
                where = f"{os.path.relpath(path, ROOT)}:{n + 1}"
                if failed:
                    caught += 1
                    print(f"[{tried}] caught   {where} {kind} by {failed}", flush=True)
                else:
                    change = f"{old.strip()}  ->  {new.strip() or '(deleted)'}"
                    survivors.append(f"{where}: {kind}: {change}")
                    print(f"[{tried}] SURVIVED {survivors[-1]}", flush=True)
    finally:
        for path, text in originals.items():
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
    if tried:
        print(f"mutate: {caught} of {tried} faults caught: {caught / tried:.2f} "
              f"(seed {args.seed}, {time.time() - start:.0f} s)")
    return 0 if tried else 1


if __name__ == "__main__":
    sys.exit(main())

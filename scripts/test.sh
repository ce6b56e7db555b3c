#!/usr/bin/env bash
# Builds every target (Linux release, Linux ASan+UBSan, Windows i686 and x86_64)
# and runs the whole test suite in the release and the sanitizer builds, and
# the thread stress test under ThreadSanitizer.
# Installs missing Debian packages first. Skipped tests are listed with their
# reasons and counted on the last line.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
./scripts/enable-i386.sh

jobs=$(nproc)
for preset in win32 win64 release asan; do
  echo "== configure and build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done

# Prints "RUN SKIPPED" for a ctest JUnit file; on stderr, each reason GoogleTest
# gave for a skip with the tests it skipped.
summarise() {
  awk '
    function unescape(text) {
      gsub(/&apos;/, "'\''", text); gsub(/&quot;/, "\"", text)
      gsub(/&lt;/, "<", text); gsub(/&gt;/, ">", text); gsub(/&amp;/, "\\&", text)
      return text
    }
    /<testcase / { name = $0; sub(/.*<testcase name="/, "", name); sub(/ *(#|").*/, "", name)
                   skipped = ($0 ~ /status="notrun"/); reason = ""; next_is_reason = 0
                   if (skipped) nskipped++; else nrun++ }
    skipped && next_is_reason { reason = unescape($0); next_is_reason = 0 }
    skipped && /: Skipped$/ { next_is_reason = 1 }
    skipped && /<\/testcase>/ { if (reason == "") reason = "(no reason given)"
                                if (!(reason in count)) order[++reasons] = reason
                                count[reason]++; names[reason] = names[reason] "     " name "\n"
                                skipped = 0 }
    END { for (i = 1; i <= reasons; i++)
            printf "   %d skipped: %s\n%s", count[order[i]], order[i], names[order[i]] > "/dev/stderr"
          print nrun + 0, nskipped + 0 }' "$1"
}

# Editor tests need an X server; Wine tests share one Wine prefix per build.
export WINEDEBUG=-all
export QEMU_RESERVED_VA=0xffff0000  # for 32-bit Wine through qemu (see scripts/enable-i386.sh)
counts=()
for preset in release asan; do
  echo "== test: $preset"
  junit=$PWD/build/$preset/test-results.xml
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" -j"$jobs" --output-junit "$junit"
  read -r run skipped <<<"$(summarise "$junit")"
  counts+=("$preset: $run passed, $skipped skipped")
done
# The thread stress test under ThreadSanitizer, briefly (README: the long run).
echo "== configure and build: tsan (thread stress test)"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$jobs" --target stress_test
echo "== test: tsan"
KELVANE_STRESS_SECONDS=3 build/tsan/tests/stress/stress_test
echo "All builds succeeded and all tests passed (${counts[0]}; ${counts[1]}; the reasons for skips are listed above)."

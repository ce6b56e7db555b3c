#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz") and runs each for a
# while on a copy of its committed corpus; findings land in build/fuzz/findings.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 60 s; state dispatcher transport)
# Installs clang and its runtime (Debian: clang, libclang-rt-14-dev) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(state dispatcher transport)

missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")
mkdir -p build/fuzz/findings
for t in "${targets[@]}"; do
  work=build/fuzz/corpus/$t
  mkdir -p "$work"
  cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  echo "== fuzz_$t for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=0 build/fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/findings/"$t"- "$work" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss|#[0-9]+ *DONE|==[0-9]+==ERROR|SUMMARY)' || true
done

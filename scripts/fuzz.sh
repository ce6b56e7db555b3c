#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz") and runs each for a
# while on a copy of its committed corpus, one target at a time, at the lowest
# CPU priority; findings land in build/fuzz/findings, full logs in
# build/fuzz/logs/TARGET.log.
#   scripts/fuzz.sh [--fast] [SECONDS_PER_TARGET] [TARGET...]
#     default 60 s; targets: state dispatcher transport editor_script editor_mouse
#   --fast: the build without ASan (preset "fuzz-fast", UBSan only, pixel loops
#     unchecked), for long runs of the editor targets; the corpus it grows is
#     then replayed under ASan and UBSan by the "fuzz" build before the script ends.
# Each run ends with one line: executions, coverage (cov: edges, ft: features)
# and the corpus size, as libFuzzer reported them last.
# Installs clang and its runtime (Debian: clang, libclang-rt-14-dev) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."

preset=fuzz
if [ "${1:-}" = "--fast" ]; then
  preset=fuzz-fast
  shift
fi
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(state dispatcher transport editor_script editor_mouse)

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

for p in $(printf '%s\n' fuzz "$preset" | sort -u); do
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}")
done
mkdir -p build/fuzz/findings build/fuzz/logs
status=0
for t in "${targets[@]}"; do
  work=build/fuzz/corpus/$t
  log=build/fuzz/logs/$t.log
  mkdir -p "$work"
  cp -n fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
  echo "== fuzz_$t for ${seconds}s (log: $log)"
  # -detect_leaks=0: the editor targets keep one instance for every case, and
  # libFuzzer's per-case leak check would run many cases twice.
  ASAN_OPTIONS=detect_leaks=0 nice -n 19 build/"$preset"/fuzz/fuzz_"$t" -max_total_time="$seconds" -detect_leaks=0 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/findings/"$t"- "$work" >"$log" 2>&1 || status=1
  grep -E '^==[0-9]+==ERROR|^SUMMARY|runtime error|finding' "$log" | head -5 || true
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  echo "   executions ${last%%[[:space:]]*} ($(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [^ ]+' <<<"$last" || true)," \
       "$(grep -oE 'exec/s: [0-9]+' <<<"$last" || true))"
  if [ "$preset" != fuzz ]; then
    # What the fast build found worth keeping, under ASan and UBSan.
    if ASAN_OPTIONS=detect_leaks=0 nice -n 19 build/fuzz/fuzz/fuzz_"$t" -runs=0 -detect_leaks=0 "$work" >"$log.asan" 2>&1; then
      echo "   corpus of $(ls "$work" | wc -l) inputs replayed under ASan: clean"
    else
      echo "   corpus replay under ASan FAILED (log: $log.asan)"
      status=1
    fi
  fi
done
exit $status

#!/usr/bin/env bash
# Proves Kelvane in hosts that others wrote, from Debian's packages, without a
# display: runs every scripts/hosts/NAME.sh (or only the NAMEs given) and sums
# up. Each host script installs what it needs (DAW packages are large, so none
# of this is part of scripts/test.sh), prints one line per check,
#   PASS NAME: what was shown      FAIL NAME: what went wrong      SKIP NAME: why not
# and a last line "NAME: N passed, N failed"; its exit code is 0 only when no
# check failed.
#
#   scripts/third-party-hosts.sh            # every host
#   scripts/third-party-hosts.sh ardour     # one host
set -uo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  names=("$@")
else
  names=()
  for script in scripts/hosts/*.sh; do names+=("$(basename "$script" .sh)"); done
fi
[ ${#names[@]} -gt 0 ] || { echo "third-party-hosts.sh: no host scripts in scripts/hosts/" >&2; exit 1; }

logs=$(mktemp -d -t kelvane-hosts.XXXXXX)
summary=()
total_passed=0 total_failed=0
for name in "${names[@]}"; do
  script=scripts/hosts/$name.sh
  if [ ! -x "$script" ]; then
    summary+=("FAIL $name: there is no $script")
    total_failed=$((total_failed + 1))
    continue
  fi
  echo "==== $name ($script)"
  "$script" 2>&1 | tee "$logs/$name.log"
  status=${PIPESTATUS[0]}
  passed=$(grep -c "^PASS $name:" "$logs/$name.log")
  failed=$(grep -c "^FAIL $name:" "$logs/$name.log")
  skipped=$(grep -c "^SKIP $name:" "$logs/$name.log")
  # A script that stopped without reporting a failure still failed.
  if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
    failed=1
    echo "FAIL $name: $script stopped with exit code $status"
  fi
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  summary+=("$([ "$failed" -eq 0 ] && echo PASS || echo FAIL) $name: $passed checks passed, $failed failed, $skipped skipped")
done

echo
echo "==== third-party hosts"
printf '%s\n' "${summary[@]}"
rm -rf "$logs"
echo "third-party hosts: $total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]

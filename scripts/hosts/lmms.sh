#!/usr/bin/env bash
# Kelvane's 32-bit Windows DLL in LMMS, a host that others wrote: Debian 12's
# LMMS runs Windows VST 2 effects through its Wine-based VST server
# (lmms-vst-server, built for i386 only). The script writes an LMMS project in
# which a sample track plays a generated piece of music through Kelvane.dll
# with a saved state (four gain shapes) as the plug-in's chunk, renders it with
# LMMS's command line (headless, under Xvfb), and compares the result with
# `kelvane-host process --float` through the same DLL under Wine:
#   - every sample identical while the clip plays (LMMS passes the audio
#     unchanged: unity gain, no panning, the file's own rate, no resampling),
#     silence after it;
#   - each shape at its place on the timeline (muted range silent, clipper
#     range under its level, bypassed range equal to the input, follower
#     range changed);
#   - the state survives LMMS's save and reload byte for byte: LMMS opens the
#     project (GUI under Xvfb), saves it (Ctrl+S, sent with xdotool), opens
#     the saved file and saves it again; both chunks equal the state loaded.
# Prints one line per check ("PASS lmms: ...", "FAIL lmms: ...") and a last
# line "lmms: N passed, N failed"; the exit code is 1 when a check failed.
# Work files: build/third-party/lmms/.
# Takes 10-20 minutes where 32-bit programs run through qemu (each start of
# LMMS's Wine server takes minutes there).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/build/third-party/lmms
here=$root/scripts/hosts

./scripts/install-deps.sh
i386=$(./scripts/enable-i386.sh)
if [[ $i386 == *"cannot run"* ]]; then
  echo "lmms: LMMS's VST server is a 32-bit Wine program: $i386" >&2
  exit 1
fi

# LMMS and its VST server. Debian 12 builds the VST server (and LMMS's VST
# effect plug-in, libvsteffect.so) only for i386, so LMMS itself must be the
# i386 build too: installing lmms:i386 replaces an installed lmms:amd64.
pkgs=(lmms:i386 lmms-vst-server:i386 xdotool gcc-multilib python3 util-linux)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=()
  [ "$(id -u)" -ne 0 ] && SUDO=(sudo)
  log=$(mktemp -t kelvane-lmms-deps.XXXXXX.log)
  echo "== installing ${missing[*]} (about 40 packages with their dependencies; lmms:i386 replaces lmms:amd64; apt's output: $log)"
  if ! DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get -o DPkg::Lock::Timeout=1200 install -y -q \
      --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
    echo "Installing the packages failed; the end of $log:" >&2
    tail -n 15 "$log" >&2
    exit 1
  fi
fi

echo "== building Kelvane.so, Kelvane.dll (i686) and kelvane-host (Linux, Windows i686)"
cmake --preset release >/dev/null && cmake --build --preset release -j"$(nproc)" --target Kelvane kelvane-host >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 -j"$(nproc)" --target Kelvane kelvane-host >/dev/null
host=$root/build/release/host/kelvane-host

rm -rf "$out"
mkdir -p "$out/vst" "$out/work"
cd "$out"
cp "$root/build/win32/Kelvane.dll" vst/Kelvane.dll
cp "$root/build/win32/host/kelvane-host.exe" kelvane-host32.exe

# Wine's error messages stay on: they end up in the logs that the checks quote.
# QEMU_RESERVED_VA: for 32-bit Wine through qemu (see scripts/enable-i386.sh).
export WINEPREFIX=$root/build/third-party/lmms-wineprefix WINEDEBUG=err+all WINEDLLOVERRIDES="mscoree,mshtml=" QEMU_RESERVED_VA=0xffff0000
mkdir -p "$WINEPREFIX"

# Where 32-bit programs run through qemu, LMMS needs two work-arounds (see
# lmms-qemu-shim.c): a preloaded library, built here for i386.
preload=""
if [[ $i386 == *qemu* ]]; then
  gcc -m32 -shared -fPIC -O2 -Wall -Wextra -Werror -o qemu-shim.so "$here/lmms-qemu-shim.c" -ldl
  preload=$out/qemu-shim.so
fi

# Runs LMMS with ARGS in its own PID namespace under its own Xvfb. LMMS kills
# pid -1 (every process it may signal) when its VST server failed to start, so
# it never runs in the caller's namespace.
# (xvfb-run must not be the namespace's first process: it would never see
# Xvfb's ready signal.)
in_namespace() {
  unshare --pid --fork --kill-child --mount-proc sh -c '"$@"; exit $?' sh "$@"
}
lmms_run() {
  in_namespace xvfb-run -a -s "-screen 0 1280x1024x24" \
    env LMMS_PRELOAD="$preload" sh -c 'LD_PRELOAD=$LMMS_PRELOAD exec lmms --allowroot "$@"' lmms "$@"
}

echo "== input: 12 s of test music, padded with silence to whole 256-frame periods and one more: input.wav"
"$host" generate music.wav --seconds 12 >/dev/null
python3 "$here/lmms.py" pad music.wav input.wav 256
echo "== state with four gain shapes (scripts/demo-shapes.txt): shapes.state"
"$host" state make "$root/scripts/demo-shapes.txt" shapes.state
"$host" state dump shapes.state > shapes.txt

bpm=125  # 441 frames per LMMS tick at 44.1 kHz
python3 "$here/lmms.py" config lmmsrc.xml "$out/work" "$out/vst"
python3 "$here/lmms.py" project project.mmp "$out/input.wav" "$out/vst/Kelvane.dll" shapes.state $bpm

echo "== reference: kelvane-host.exe process --float through the same Kelvane.dll under Wine (in the background)"
# Its own prefix, so its own Wine server: Wine programs that share a server
# share its desktop, and this one has no display, so LMMS's VST server could
# then open no window (its editor) and LMMS would wait for one.
WINEPREFIX=$root/build/third-party/reference-wineprefix \
  wine kelvane-host32.exe process vst/Kelvane.dll input.wav reference.wav --state shapes.state \
  --float --block 256 --tempo $bpm > reference.log 2>&1 &
reference_pid=$!

# Opens PROJECT in LMMS's window, waits until it is loaded (the title names
# it), saves it with Ctrl+S and quits. Runs inside lmms_run's namespace.
cat > save-in-gui.sh <<'EOF'
set -eu
project=$1; shift
name=$(basename "$project" .mmp)
before=$(stat -c %Y.%s "$project")
LD_PRELOAD=$LMMS_PRELOAD lmms --allowroot "$@" "$project" > "$project.log" 2>&1 &
lmms=$!
for _ in $(seq 1 1200); do
  window=$(xdotool search --name "^$name - LMMS" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 $lmms 2>/dev/null || { echo "LMMS ended before it showed $name"; exit 1; }
  if grep -q -E "could not be loaded|did not connect" "$project.log"; then
    kill $lmms; echo "LMMS could not load the plug-in"; exit 1
  fi
  sleep 1
done
[ -n "$window" ] || { echo "LMMS did not show $name in 20 minutes"; exit 1; }
sleep 2
for _ in $(seq 1 600); do
  xdotool windowfocus --sync "$window" >/dev/null 2>&1 || true
  xdotool key ctrl+s
  sleep 1
  [ "$(stat -c %Y.%s "$project")" != "$before" ] && break
done
sleep 2
kill $lmms
[ "$(stat -c %Y.%s "$project")" != "$before" ] || { echo "LMMS did not save $name"; exit 1; }
EOF
lmms_gui_save() {
  in_namespace xvfb-run -a -s "-screen 0 1280x1024x24" \
    env LMMS_PRELOAD="$preload" sh save-in-gui.sh "$@" -c "$out/lmmsrc.xml"
}

passed=0
failed=0
result() {  # STATUS TEXT
  if [ "$1" = 0 ]; then passed=$((passed + 1)); echo "PASS lmms: $2"; else failed=$((failed + 1)); echo "FAIL lmms: $2"; fi
}
same_bytes() {  # EXPECTED FILE
  [ -f "$2" ] && cmp -s "$1" "$2" && echo 0 || echo 1
}

echo "== LMMS: render a project without the effect (does LMMS pass the audio unchanged?): plain.wav"
python3 "$here/lmms.py" project plain.mmp "$out/input.wav" - - $bpm
lmms_run -c "$out/lmmsrc.xml" render "$out/plain.mmp" -o "$out/plain.wav" -f wav -a -x 1 -s 44100 -i linear \
  > plain.log 2>&1 || true
if [ -f plain.wav ]; then
  python3 "$here/lmms.py" compare plain.wav input.wav - - > compare-plain.txt || true
  cat compare-plain.txt
  passed=$((passed + $(grep -c '^PASS lmms:' compare-plain.txt || true)))
  failed=$((failed + $(grep -c '^FAIL lmms:' compare-plain.txt || true)))
else
  result 1 "LMMS rendered plain.mmp to plain.wav (its output: $out/plain.log)"
fi

start=$SECONDS
echo "== LMMS: open project.mmp (copied to saved.mmp) in its window and save it with Ctrl+S"
cp project.mmp saved.mmp
status=0; lmms_gui_save "$out/saved.mmp" || status=$?
result $status "LMMS opened project.mmp in its window and saved it (saved.mmp)"
params=$(python3 "$here/lmms.py" chunk saved.mmp saved.state || true)
[[ -n $params && $params != none ]] && loaded=0 || loaded=1
if [ $loaded = 0 ]; then
  result 0 "LMMS had loaded Kelvane.dll when it saved (the saved effect carries $params)"
  result "$(same_bytes shapes.state saved.state)" \
    "the chunk LMMS saved is the state, byte for byte ($(stat -c %s saved.state) of $(stat -c %s shapes.state) bytes)"
else
  result 1 "LMMS had loaded Kelvane.dll when it saved (the saved effect carries no program: LMMS kept the XML it read)"
  result 1 "the chunk LMMS saved is the state, byte for byte (not judged: the plug-in was not loaded)"
fi
if [ $loaded = 0 ]; then
  echo "== LMMS: open saved.mmp (copied to resaved.mmp) and save it again"
  cp saved.mmp resaved.mmp
  status=0; lmms_gui_save "$out/resaved.mmp" || status=$?
  params=$(python3 "$here/lmms.py" chunk resaved.mmp resaved.state || true)
  [[ -n $params && $params != none ]] && loaded=0 || loaded=1
  result $loaded "LMMS loaded Kelvane.dll from its own saved file and saved again (${params:-nothing} saved with it; resaved.mmp)"
  result "$([ $loaded = 0 ] && same_bytes shapes.state resaved.state || echo 1)" \
    "after LMMS reloaded its own file, the chunk it saved is the state, byte for byte (resaved.mmp)"
  echo "== LMMS: render saved.mmp offline (lmms render: 32-bit float WAV, no oversampling): lmms.wav"
  lmms_run -c "$out/lmmsrc.xml" render "$out/saved.mmp" -o "$out/lmms.wav" -f wav -a -x 1 -s 44100 -i linear \
    > render.log 2>&1 || true
  echo "   LMMS took $((SECONDS - start)) s for the three runs with Kelvane.dll"
  grep -h -E "did not connect|could not be loaded|remote plugin died|^err:" saved.mmp.log resaved.mmp.log render.log 2>/dev/null \
    | sort | uniq -c | sed 's/^ */   LMMS said (times): /' || true
else
  echo "   LMMS's VST server did not start; what LMMS and Wine said:"
  grep -h -v -E "XDG_RUNTIME_DIR|^ *$" saved.mmp.log | sed 's/^/     /' | head -n 20
  result 1 "LMMS loaded Kelvane.dll from its own saved file (not tried: the VST server did not start)"
  result 1 "LMMS rendered saved.mmp with Kelvane.dll (not tried: the VST server did not start)"
fi
status=0; wait $reference_pid || status=$?
result $status "kelvane-host.exe rendered the reference through Kelvane.dll under Wine (reference.wav)"
[ $status = 0 ] || grep -v -E "^ *$" reference.log | sed 's/^/     /' | head -n 10
"$host" process "$root/build/release/Kelvane.so" input.wav reference-linux.wav --state shapes.state \
  --float --block 256 --tempo $bpm >/dev/null
status=0; python3 "$here/lmms.py" same-audio reference.wav reference-linux.wav || status=$?
result $status "Kelvane.dll under Wine and Kelvane.so give identical references (every sample)"
if [ -f lmms.wav ] && grep -q "ASSERT failure" render.log 2>/dev/null; then
  # LMMS 1.2.2 can abort at the very end of an export with a VST effect, in
  # its own memory manager, after writing all the audio but before the WAV
  # header gets its sizes. Said here, and the header completed from the
  # file's length, so the audio is compared as LMMS wrote it.
  echo "   LMMS aborted at the end of its export: $(grep -o "ASSERT failure.*" render.log | head -n 1)"
  python3 "$here/lmms.py" finish-header lmms.wav
fi
if [ -f lmms.wav ] && [ -f reference.wav ]; then
  python3 "$here/lmms.py" compare lmms.wav reference.wav input.wav shapes.txt > compare.txt || true
  cat compare.txt
  passed=$((passed + $(grep -c '^PASS lmms:' compare.txt || true)))
  failed=$((failed + $(grep -c '^FAIL lmms:' compare.txt || true)))
elif [ $loaded = 0 ]; then
  result 1 "LMMS rendered saved.mmp to lmms.wav and kelvane-host the reference (LMMS's output: $out/render.log)"
fi
echo "lmms: $passed passed, $failed failed"
[ "$failed" = 0 ]

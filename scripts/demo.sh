#!/usr/bin/env bash
# Kelvane's demo: builds the plug-in, renders a generated piece of music through
# a set of gain shapes with the Linux module and with both Windows DLLs (under
# Wine), writes the WAV files to demo-output/ and prints the peak levels inside
# and outside the shapes; then draws shapes with the mouse in the editor (without
# a window), renders the music with the state the mouse made and writes the
# editor's screenshot (demo-output/mouse-editor.png).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/demo-output

./scripts/install-deps.sh
i386=$(./scripts/enable-i386.sh)

echo "== building (Linux release, Windows i686 and x86_64)"
for preset in release win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" >/dev/null
done
host=$root/build/release/host/kelvane-host
peaks=$root/build/release/tools/wav-peaks

mkdir -p "$out"
cd "$out"
echo "== generating 12 s of test music: input.wav"
"$host" generate input.wav --seconds 12
echo "== making the saved state with four gain shapes: shapes.state (text in scripts/demo-shapes.txt)"
"$host" state make "$root/scripts/demo-shapes.txt" shapes.state
# Each shape's comment: from its "# <time>" line to the last comment line before it.
awk '/^# [0-9]/ { shown = 1; sub(/^#/, " "); print; next }
     shown && /^#/ { sub(/^#/, "   "); print; next }
     { shown = 0 }' "$root/scripts/demo-shapes.txt"

echo "== Linux: Kelvane.so"
"$host" process "$root/build/release/Kelvane.so" input.wav linux.wav --state shapes.state
echo "== the editor without a window: editor.png (the waveform after the music, a loop over 6 s - 8 s)"
"$host" editor "$root/build/release/Kelvane.so" input.wav "$root/scripts/demo-editor.txt" \
  --state shapes.state --transport "$root/scripts/demo-editor-loop.txt"
"$host" process "$root/build/release/Kelvane.so" input.wav linux-float.wav --state shapes.state --float
# The files above keep every bit of the module's output (64-bit float, which
# many players cannot open); these 16-bit copies are for listening.
mkdir -p listen
"$host" generate listen/input.wav --seconds 12 --format s16 >/dev/null
"$host" process "$root/build/release/Kelvane.so" input.wav listen/kelvane.wav --state shapes.state --format s16 >/dev/null
echo "   16-bit copies for listening: listen/input.wav, listen/kelvane.wav"

# QEMU_RESERVED_VA: for 32-bit Wine through qemu (see scripts/enable-i386.sh).
export WINEPREFIX=$root/build/demo-wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" QEMU_RESERVED_VA=0xffff0000
mkdir -p "$WINEPREFIX"
wine64=wine64
command -v wine64 >/dev/null || wine64=/usr/lib/wine/wine64
echo "== Windows x86_64: Kelvane.dll under Wine (the first run sets up a Wine prefix)"
cp "$root/build/win64/Kelvane.dll" kelvane64.dll
cp "$root/build/win64/host/kelvane-host.exe" kelvane-host64.exe
"$wine64" kelvane-host64.exe process kelvane64.dll input.wav win64.wav --state shapes.state
if [[ $i386 == *"cannot run"* ]]; then
  echo "== Windows i686: skipped ($i386)"
else
  echo "== Windows i686: Kelvane.dll under Wine ($i386)"
  cp "$root/build/win32/Kelvane.dll" kelvane32.dll
  cp "$root/build/win32/host/kelvane-host.exe" kelvane-host32.exe
  wine kelvane-host32.exe process kelvane32.dll input.wav win32.wav --state shapes.state
fi

echo
echo "== peak levels (input, then the Linux module's output)"
ranges=(
  "before any shape=0:44100"
  "follower swell (blend 0)=44100:132300"
  "between=141120:176400"
  "clipper at -14 dB (blend 1)=176400:264600"
  "muted=308700:352800"
  "bypassed=396900:441000"
  "after the shapes=450000:529200"
)
echo "input.wav:"
"$peaks" input.wav "${ranges[@]}"
echo "linux.wav:"
"$peaks" linux.wav "${ranges[@]}"

echo
echo "== the editor: shapes drawn with the mouse while the host loops 0:00-0:04"
echo "   (mouse script scripts/demo-mouse.txt, transport scripts/demo-loop.txt)"
"$host" editor "$root/build/release/Kelvane.so" input.wav "$root/scripts/demo-mouse.txt" \
  --transport "$root/scripts/demo-loop.txt" --save-state mouse.state
echo "   mouse-editor.png: the editor at the end of the session; mouse.state: the shapes the mouse made"
"$host" process "$root/build/release/Kelvane.so" input.wav mouse.wav --state mouse.state
# One range per segment the mouse made, from the saved state.
mapfile -t mouse_ranges < <("$host" state dump mouse.state | awk '
  /^segment/ { n = $2 } /^  mute/ { mute[n] = $2 } /^  blend/ { blend[n] = $2 } /^  clip/ { clip[n] = $2 }
  /^  start pos/ { s[n] = $3 } /^  end pos/ { e[n] = $3 }
  END { for (i = 0; i <= n; i++) printf "segment %d (mute %s, blend %s, clip %s)=%d:%d\n", i, mute[i], blend[i], clip[i], s[i], e[i] }')
mouse_ranges+=("after the drawn shapes=176400:529200")
echo "input.wav:"
"$peaks" input.wav "${mouse_ranges[@]}"
echo "mouse.wav:"
"$peaks" mouse.wav "${mouse_ranges[@]}"

echo
echo "== do the modules agree?"
"$peaks" --compare linux.wav linux-float.wav || echo "  (single precision rounds each sample to float)"
for f in win64.wav win32.wav; do
  [ -f "$f" ] && "$peaks" --compare linux.wav "$f"
done
echo
echo "Written to $out:"
ls -1 "$out"/*.wav
echo "For listening (16-bit PCM, any player opens them):"
ls -1 "$out"/listen/*.wav

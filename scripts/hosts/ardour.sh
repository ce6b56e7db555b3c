#!/usr/bin/env bash
# Kelvane.so in Ardour, Debian's digital audio workstation, without a display:
# Ardour's own tools (ardour7-lua, ardour7-export, the VST scanner) with its
# "None (Dummy)" audio engine. Installs the Debian package `ardour` when it
# is missing (about 70 packages with its dependencies).
#
#  1. Ardour's scanner indexes Kelvane.so as a Linux VST 2 plug-in.
#  2. ardour7-lua makes a session at 44.1 kHz with a stereo track that has
#     Kelvane in its chain; the session file then gets the demo music as a
#     region 0.5 s into the timeline, the session range around it, and a saved
#     state with gain shapes (scripts/demo-shapes.txt) as Kelvane's chunk.
#  3. Ardour loads the session and saves it; it loads that saved session and
#     saves it again. The chunk in each saved file must be the state, byte for
#     byte.
#  4. ardour7-export renders the twice-saved session offline (32-bit float).
#     Ardour runs plug-ins in single precision, so the reference is
#     `kelvane-host process --float --start 22050` of the same input and
#     state: the faders are at 0 dB and the panners bypassed, so Ardour passes
#     the audio unchanged and the two renders must be identical to the bit.
#     The peaks inside each shape's range, at its position on the timeline,
#     are printed for the input and both renders.
#
# Prints one line per check ("PASS ardour: ...", "FAIL ardour: ...") and a
# last line "ardour: N passed, N failed"; the exit code is 1 when a check
# failed. Work files: build/third-party/ardour/.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
work=$root/build/third-party/ardour
# The region's place on the timeline (frames): 0.5 s, so every shape sits
# 0.5 s earlier in the file than on the timeline, and the play position where
# Ardour parks before the export is inside no shape (see README: a follower
# shape there adapts to the silence Ardour plays while stopped).
offset=22050
seconds=12
rate=44100

passed=0 failed=0
pass() { echo "PASS ardour: $*"; passed=$((passed + 1)); }
fail() { echo "FAIL ardour: $*"; failed=$((failed + 1)); }
finish() { echo "ardour: $passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit $?; }
# Runs an Ardour tool with a time limit; its output goes to a log file.
run() {  # LOG COMMAND...
  local log=$1; shift
  timeout 300 "$@" </dev/null >"$log" 2>&1
}

if ! command -v ardour7-export >/dev/null || ! command -v ardour7-lua >/dev/null; then
  echo "== installing Debian's ardour (about 70 packages with its dependencies)"
  SUDO=()
  [ "$(id -u)" -eq 0 ] || SUDO=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  log=$(mktemp -t kelvane-ardour-install.XXXXXX.log)
  "${SUDO[@]}" apt-get -o DPkg::Lock::Timeout=1200 install -y -q --no-install-recommends ardour >"$log" 2>&1 ||
    { tail -n 15 "$log" >&2; echo "FAIL ardour: cannot install Debian's ardour (log: $log)"; failed=1; finish; }
fi
scanner=$(dpkg -L ardour | awk '/\/ardour-vst-scanner$/ { found = $0 } END { print found }')
libdir=$(dirname "$scanner")
echo "== Ardour $(dpkg-query -W -f='${Version}' ardour), building Kelvane.so and kelvane-host"
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target Kelvane kelvane-host wav-peaks >/dev/null
host=$root/build/release/host/kelvane-host
peaks=$root/build/release/tools/wav-peaks

rm -rf "$work"
mkdir -p "$work/home" "$work/vst"
cd "$work"
cp "$root/build/release/Kelvane.so" vst/
# Ardour takes a plug-in from its scan cache only when the cache is newer than
# the module, counted in whole seconds.
touch -d "@$(($(date +%s) - 60))" vst/Kelvane.so
# Ardour keeps its configuration and plug-in cache under HOME: a fresh one per run.
export HOME=$work/home LXVST_PATH=$work/vst XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
"$host" generate input.wav --seconds "$seconds" --rate "$rate" >/dev/null
"$host" state make "$root/scripts/demo-shapes.txt" shapes.state >/dev/null
frames=$((seconds * rate))

# 1. The scan.
if run scan.log env LD_LIBRARY_PATH="$libdir" "$scanner" -v "$work/vst/Kelvane.so" &&
   grep -q "Found Plugin: .* Kelvane" scan.log; then
  pass "Ardour's VST scanner indexes Kelvane.so as a Linux VST 2 plug-in ($(grep -o "Found Plugin: .*" scan.log))"
else
  fail "Ardour's VST scanner does not index Kelvane.so (scan.log)"; finish
fi

# 2. The session: a stereo track with Kelvane, made by Ardour.
cat >make-session.lua <<'EOF'
AudioEngine:set_backend("None (Dummy)", "", ""):set_device_name("Silence")
assert(create_session(os.getenv("SESSION_DIR"), "kelvane", 44100), "cannot create the session")
local track = Session:new_audio_track(2, 2, nil, 1, "Kelvane", ARDOUR.PresentationInfo.max_order,
                                      ARDOUR.TrackMode.Normal, true):front()
local plugin = ARDOUR.LuaAPI.new_plugin(Session, "Kelvane", ARDOUR.PluginType.LXVST, "")
assert(not plugin:isnil(), "Ardour does not know the plug-in Kelvane")
assert(track:add_processor_by_index(plugin, 0, nil, true) == 0, "cannot add Kelvane to the track")
Session:save_state("", false, false, false, false, false)
close_session()
EOF
# Loads snapshot FROM and saves it as snapshot TO.
cat >resave.lua <<'EOF'
AudioEngine:set_backend("None (Dummy)", "", ""):set_device_name("Silence")
assert(load_session(os.getenv("SESSION_DIR"), os.getenv("FROM")), "cannot load the session")
Session:save_state(os.getenv("TO"), false, false, false, false, false)
close_session()
EOF
export SESSION_DIR=$work/kelvane
if ! run make-session.log ardour7-lua make-session.lua || ! grep -q 'type="lxvst"' kelvane/kelvane.ardour; then
  fail "ardour7-lua cannot make a session with Kelvane on a track (make-session.log)"; finish
fi
mkdir -p kelvane/interchange/kelvane/audiofiles
cp input.wav kelvane/interchange/kelvane/audiofiles/input.wav
# Ardour's timeline counts 282240000 superclock ticks a second ("a" values; a
# length is written with its position after "@"). The region
# plays the whole file from the offset, without fades or gain envelope; both
# panners are bypassed; Kelvane's chunk is the saved state.
OFFSET=$offset FRAMES=$frames RATE=$rate CHUNK=$(base64 -w0 shapes.state) perl -0pi -e '
  my $tick = 282240000 / $ENV{RATE};
  my ($pos, $len) = ($ENV{OFFSET} * $tick, $ENV{FRAMES} * $tick);
  my $end = $pos + $len;
  my $region = qq{name="input" muted="0" opaque="1" locked="0" video-locked="0" automatic="0" import="0} .
    qq{" external="0" sync-marked="0" hidden="0" position-locked="0" valid-transients="0" start="a0"} .
    qq{ sync-position="a0" stretch="1"} .
    qq{ shift="1" layering-index="0" tags="" scale-amplitude="1" envelope-active="0" default-fade-in="0"} .
    qq{ default-fade-out="0" fade-in-active="0" fade-out-active="0" type="audio" first-edit="nothing"} .
    qq{ source-0="900001" source-1="900002" master-source-0="900001" master-source-1="900002" channels="2"};
  s/id-counter="\d+"/id-counter="900100"/ or die "no id counter\n";
  s{<Sources/>}{<Sources>
    <Source name="input.wav" type="audio" flags="" id="900001" channel="0" origin="" natural-position="a0"/>
    <Source name="input.wav" type="audio" flags="" id="900002" channel="1" origin="" natural-position="a0"/>
  </Sources>} or die "no sources\n";
  s{<Regions/>}{<Regions>
    <Region $region whole-file="1" position="a0" length="a$len\@a0" id="900003"/>
  </Regions>} or die "no regions\n";
  s{(<Playlist [^>]*name="Kelvane"[^>]*?)/>}{$1>
      <Region $region whole-file="0" position="a$pos" length="a$len\@a$pos" id="900004"/>
    </Playlist>} or die "no playlist\n";
  s{<Locations/>}{<Locations>
    <Location id="900005" name="session" start="a$pos" end="a$end" flags="IsSessionRange" locked="0" timestamp="0" cue="0"/>
  </Locations>} or die "no locations\n";
  s{(<PannerShell bypassed=)"0"}{$1"1"}g;
  s{(type="lxvst".*?<chunk[^>]*>)[^<]*(</chunk>)}{$1$ENV{CHUNK}$2}s or die "no chunk\n";
' kelvane/kelvane.ardour
pass "ardour7-lua made a session with Kelvane on a stereo track; the music is placed at $(awk -v f="$offset" -v r="$rate" 'BEGIN { print f / r }') s and the state ($(stat -c %s shapes.state) bytes, $(grep -c '^segment' "$root/scripts/demo-shapes.txt") shapes) is Kelvane's chunk"

# 3. Save and reload.
chunk_of() {  # SESSION-FILE OUT
  perl -0ne 'print $1 if /type="lxvst".*?<chunk[^>]*>([^<]*)<\/chunk>/s' "$1" | base64 -d >"$2"
}
ok=yes
for step in "kelvane saved" "saved saved-again"; do
  set -- $step
  if ! FROM=$1 TO=$2 run "resave-$2.log" ardour7-lua resave.lua || [ ! -f "kelvane/$2.ardour" ]; then
    fail "Ardour cannot load snapshot $1 and save it as $2 (resave-$2.log)"; ok=; break
  fi
  chunk_of "kelvane/$2.ardour" "$2.state"
  if ! cmp -s shapes.state "$2.state"; then
    fail "the chunk Ardour saved in $2.ardour is not the state ($(stat -c %s "$2.state") bytes, $(cmp shapes.state "$2.state" 2>&1 | head -n 1))"; ok=
  fi
done
[ -n "$ok" ] && pass "the state survives Ardour's save, reload and second save byte for byte ($(stat -c %s shapes.state) bytes)"

# 4. The render.
"$host" process "$work/vst/Kelvane.so" input.wav reference.wav --state shapes.state --float --start "$offset" >/dev/null
if ! run export.log ardour7-export -b float -o "$work/ardour.wav" kelvane saved-again || [ ! -f ardour.wav ]; then
  fail "ardour7-export cannot render the session (export.log: $(grep -v '^\*' export.log | tail -n 1))"; finish
fi
compare=$("$peaks" --compare reference.wav ardour.wav) && same=yes || same=
if [ -n "$same" ]; then
  pass "Ardour's render is identical to the bit to kelvane-host's single-precision render ($frames frames, 2 channels)"
else
  fail "Ardour's render differs from kelvane-host's single-precision render:$compare"
fi
# Each shape's range on the timeline, as frames of the file.
mapfile -t ranges < <("$host" state dump shapes.state | awk -v off="$offset" '
  /^segment/ { n = $2 } /^  mute 1/ { what[n] = "muted" } /^  bypass 1/ { what[n] = "bypassed" }
  /^  start pos/ { s[n] = $3 } /^  end pos/ { e[n] = $3 }
  END { for (i = 0; i <= n; i++) {
          a = s[i] - off; b = e[i] - off; if (a < 0) a = 0
          if (b > a) printf "shape %d %s(%.2f-%.2f s)=%d:%d\n", i, what[i] ? what[i] " " : "",
                            s[i] / 44100, e[i] / 44100, a, b } }')
echo "   peaks inside each shape's range on the timeline (the music starts at $(awk -v f="$offset" -v r="$rate" 'BEGIN { print f / r }') s):"
for f in input.wav reference.wav ardour.wav; do
  echo "   $f:"
  "$peaks" "$f" "${ranges[@]}" | sed 's/^/   /'
done
finish

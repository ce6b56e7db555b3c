#!/usr/bin/env bash
# Makes every picture of the user manual from real renders and editor sessions:
#   pictures.sh KELVANE-HOST MODULE OUT-FOLDER
# KELVANE-HOST is the Linux kelvane-host, MODULE the Linux Kelvane.so. The
# pictures land in OUT-FOLDER; the same inputs give the same bytes.
set -euo pipefail
host=$1 module=$2 out=$3
here=$(cd "$(dirname "$0")" && pwd)
scenes=$here/scenes
mkdir -p "$out"
cd "$out"
work=$(mktemp -d "$out/work.XXXXXX")
trap 'rm -rf "$work"' EXIT

q() { "$@" >/dev/null; }

# The test music: 12 s of drums, a pad and tones.
q "$host" generate "$work/music.wav" --seconds 12

# ---- What Kelvane does: the four shapes of the tour, before and after ----
q "$host" state make "$scenes/tour-shapes.txt" "$work/tour.state"
q "$host" process "$module" "$work/music.wav" "$work/tour.wav" --state "$work/tour.state"
q "$host" plot intro.png "$work/music.wav" "$work/tour.wav" --state "$work/tour.state" \
  --label "input" --label "output" --height 150

# ---- Follower, clipper and blend: one flat segment from 0:01 to 0:06 ----
# render NAME LEVEL FOLLOW CLIP BLEND [INPUT]: the input (default: the music) through that segment.
render() {
  sed -e "s/LEVEL/$2/g" -e "s/FOLLOW/$3/" -e "s/CLIP/$4/" -e "s/BLEND/$5/" "$scenes/flat.txt" > "$work/$1.txt"
  q "$host" state make "$work/$1.txt" "$work/$1.state"
  q "$host" process "$module" "$work/${6:-music}.wav" "$work/$1.wav" --state "$work/$1.state"
}
render follow-slow 0.25 0 1 0
render follow-fast 0.25 1 1 0
q "$host" plot follower.png "$work/music.wav" "$work/follow-slow.wav" "$work/follow-fast.wav" \
  --state "$work/follow-slow.state" --from 0.5 --to 6.5 --height 130 \
  --label "input" --label "follower, follow 0 (slow)" --label "follower, follow 1 (fast)"
# The clipper on a tone rising steadily from silence to full scale over 0:00 to
# 0:08, shaped from 0:01 to 0:06 at -8 dB: the output's outline is the clipper's curve.
q "$host" generate "$work/ramp.wav" --seconds 8 --signal ramp
render clip-hard 0.4 0.5 0 1 ramp
render clip-soft 0.4 0.5 1 1 ramp
q "$host" plot clipper.png "$work/ramp.wav" "$work/clip-hard.wav" "$work/clip-soft.wav" \
  --state "$work/clip-hard.state" --height 130 \
  --label "input" --label "clipper, clip 0 (hard)" --label "clipper, clip 1 (soft)"
render blend-0 0.2 0.5 0 0
render blend-half 0.2 0.5 0 0.5
render blend-1 0.2 0.5 0 1
q "$host" plot blend.png "$work/music.wav" "$work/blend-0.wav" "$work/blend-half.wav" "$work/blend-1.wav" \
  --state "$work/blend-0.state" --from 0.5 --to 6.5 --height 110 \
  --label "input" --label "blend 0: follower only" --label "blend 0.5" --label "blend 1: clipper only"

# ---- The editor ----
cd "$work"
q "$host" editor "$module" music.wav "$scenes/tour.txt" --state tour.state \
  --transport "$scenes/tour-transport.txt"
q "$host" editor "$module" music.wav "$scenes/gestures.txt" --transport "$scenes/loop-0-4.txt"
q "$host" editor "$module" music.wav "$scenes/loops.txt" --transport "$scenes/loop-0-4.txt"
q "$host" editor "$module" music.wav "$scenes/colours.txt" --transport "$scenes/loop-0-4.txt"
cd "$out"

# The editor at a glance: numbered markers beside what they name.
q "$host" annotate "$work/tour.png" editor.png \
  1:220:31 2:470:300 3:597:331 4:330:140 5:402:100 6:560:395 7:110:384 8:238:357 \
  9:95:462 10:174:493 11:262:479 12:427:463 13:427:483 14:427:504 15:449:459 16:625:472 17:625:503
# The display's main view with its ruler and scale: gestures and loops.
view=24,24,592,332
for shot in draw-click draw-control draw-shift draw-move draw-below paste-done loop-copied-twice; do
  q "$host" annotate "$work/$shot.png" "$shot.png" --crop "$view"
done
# The whole display, zoomed in; the colour maps on the drum hits.
q "$host" annotate "$work/zoomed.png" zoomed.png --crop 24,24,592,421
for map in brrr pompeii thermal chlorine; do
  q "$host" annotate "$work/colours-$map.png" "colours-$map.png" --crop 230,60,260,280
done
# The edit panel and the countdown of the delayed reset.
q "$host" annotate "$work/tour.png" panel.png --crop 268,450,350,66 --scale 2
q "$host" annotate "$work/countdown.png" countdown.png --crop 268,450,350,66 --scale 2
q "$host" annotate "$work/loop-detected.png" loop-detected.png --crop 16,352,608,162
# The logo, for the title page.
q "$host" annotate "$work/tour.png" logo.png --crop 16,462,146,48 --scale 3

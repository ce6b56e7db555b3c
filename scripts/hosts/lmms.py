#!/usr/bin/env python3
"""Helpers for scripts/hosts/lmms.sh (standard library only).

  lmms.py pad IN.wav OUT.wav N                    IN.wav padded with silence to a multiple of N frames, plus N
  lmms.py config OUT WORKDIR VSTDIR              LMMS configuration file for a headless run
  lmms.py project OUT INPUT.wav PLUGIN STATE BPM  LMMS project: INPUT.wav on a sample track
                                                  through PLUGIN with STATE as its chunk
                                                  (PLUGIN -: no effect, STATE unused)
  lmms.py chunk PROJECT OUT                      writes the chunk LMMS saved in PROJECT and
                                                  prints what LMMS saved beside it ("program N"
                                                  ...; "none": LMMS had not loaded the plug-in)
  lmms.py compare LMMS.wav REF.wav INPUT.wav STATE-DUMP
                                                  LMMS's render against kelvane-host's
                                                  (INPUT.wav -: REF.wav is the input, no shapes)
  lmms.py same-audio A.wav B.wav                 exit 0 when rate, channels and samples are equal
  lmms.py finish-header FILE.wav                 fills in the sizes of a WAV header left unfinished
"""
import base64
import math
import struct
import sys
import xml.etree.ElementTree as ET

TICKS_PER_BAR = 192  # LMMS: 48 ticks per quarter note, 4/4


def chunks(data):
    """Yields (offset, id, size) of each chunk of a RIFF file's bytes."""
    pos = 12
    while pos + 8 <= len(data):
        size = struct.unpack_from('<I', data, pos + 4)[0]
        yield pos, bytes(data[pos:pos + 4]), size
        pos += 8 + size + (size & 1)


def read_wav(path):
    """Returns (rate, channels, frames as a list of tuples of floats) of a
    32-bit float or 16-bit PCM WAV file."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[0:4] != b'RIFF' or data[8:12] != b'WAVE':
        raise SystemExit(f'lmms.py: error: {path} is not a WAV file')
    fmt = None
    samples = None
    for pos, cid, size in chunks(data):
        body = data[pos + 8:pos + 8 + size]
        if cid == b'fmt ':
            tag, channels, rate = struct.unpack_from('<HHI', body, 0)
            bits = struct.unpack_from('<H', body, 14)[0]
            if tag == 0xFFFE:  # WAVE_FORMAT_EXTENSIBLE: the sub-format's first two bytes
                tag = struct.unpack_from('<H', body, 24)[0]
            fmt = (tag, channels, rate, bits)
        elif cid == b'data':
            samples = body
    if fmt is None or samples is None:
        raise SystemExit(f'lmms.py: error: {path} has no fmt or data chunk')
    tag, channels, rate, bits = fmt
    if tag == 3 and bits == 32:
        values = struct.unpack(f'<{len(samples) // 4}f', samples[:len(samples) // 4 * 4])
    elif tag == 3 and bits == 64:
        values = struct.unpack(f'<{len(samples) // 8}d', samples[:len(samples) // 8 * 8])
    elif tag == 1 and bits == 16:
        values = [v / 32768.0 for v in struct.unpack(f'<{len(samples) // 2}h', samples[:len(samples) // 2 * 2])]
    else:
        raise SystemExit(f'lmms.py: error: {path}: format {tag}, {bits} bits is not read here')
    frames = [tuple(values[i:i + channels]) for i in range(0, len(values) - channels + 1, channels)]
    return rate, channels, frames


def write_wav_f32(path, rate, channels, frames):
    data = struct.pack(f'<{len(frames) * channels}f', *[v for frame in frames for v in frame])
    fmt = struct.pack('<HHIIHH', 3, channels, rate, rate * channels * 4, channels * 4, 32)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 4 + 8 + len(fmt) + 8 + len(data)) + b'WAVE')
        f.write(b'fmt ' + struct.pack('<I', len(fmt)) + fmt)
        f.write(b'data' + struct.pack('<I', len(data)) + data)


def pad(wav, out, multiple):
    """Copies WAV as 32-bit float with silence up to a whole number of
    MULTIPLE-frame periods and one period more: LMMS plays a sample clip one
    period at a time and leaves out its last period."""
    rate, channels, frames = read_wav(wav)
    multiple = int(multiple)
    missing = -len(frames) % multiple + multiple
    write_wav_f32(out, rate, channels, frames + [(0.0,) * channels] * missing)
    print(f'{out}: {len(frames) + missing} frames ({len(frames)} of {wav} and {missing} of silence)')


def config(out, workdir, vstdir):
    # Dummy audio and MIDI (no sound card), effects keep running through
    # silence (LMMS otherwise switches an effect off after a silent stretch and
    # passes the input unprocessed when it starts again), the host's transport
    # handed to VST plug-ins, plug-in editors in their own window; "configured"
    # keeps the first-start settings dialog away.
    text = f'''<?xml version="1.0"?>
<!DOCTYPE lmms-config-file>
<lmms version="1.2.2">
  <app configured="1" nomsgaftersetup="1" nanhandler="1" openlastproject="0"/>
  <audioengine/>
  <mixer audiodev="Dummy (no sound output)" mididev="Dummy (no MIDI support)" framesperaudiobuffer="256" hqaudio="0"/>
  <paths workingdir="{workdir}/" vstdir="{vstdir}/" artwork="" backgrounddir="" fldir="" gigdir="" sf2dir="" ladspadir="" stkdir="" defaultsf2=""/>
  <ui disableautoquit="1" syncvstplugins="1" vstembedmethod="none" enableautosave="0" oneinstrumenttrackwindow="0" compacttrackbuttons="0" displaydbfs="0" enablerunningautosave="0" saveinterval="2"/>
</lmms>
'''
    with open(out, 'w') as f:
        f.write(text)


def project(out, wav, plugin, state, bpm):
    rate, channels, frames = read_wav(wav)
    bpm = int(bpm)
    if plugin == '-':
        effects = '        <fxchain numofeffects="0" enabled="0"/>\n'
    else:
        with open(state, 'rb') as f:
            chunk = base64.b64encode(f.read()).decode('ascii')
        effects = f'''        <fxchain numofeffects="1" enabled="1">
          <effect name="vsteffect" wet="1" on="1" autoquit="1" autoquit_numerator="4" autoquit_denominator="4" syncmode="0" gate="0">
            <vsteffectcontrols chunk="{chunk}"/>
            <key>
              <attribute name="file" value="{plugin}"/>
            </key>
          </effect>
        </fxchain>
'''
    # Clip length in ticks, rounded up to a whole bar (the song ends there).
    frames_per_tick = rate * 60.0 / (bpm * 48)
    ticks = math.ceil(len(frames) / frames_per_tick)
    ticks = -(-ticks // TICKS_PER_BAR) * TICKS_PER_BAR
    text = f'''<?xml version="1.0"?>
<!DOCTYPE lmms-project>
<lmms-project version="1.0" creator="LMMS" creatorversion="1.2.2" type="song">
  <head timesig_numerator="4" timesig_denominator="4" bpm="{bpm}" mastervol="100" masterpitch="0"/>
  <song>
    <trackcontainer type="song" visible="1" width="600" height="300" x="5" y="5" maximized="0" minimized="0">
    <track type="2" name="Kelvane" muted="0" solo="0">
      <sampletrack vol="100" pan="0">
{effects}      </sampletrack>
      <sampletco pos="0" len="{ticks}" muted="0" src="{wav}"/>
    </track>
    </trackcontainer>
    <fxmixer visible="0" width="561" height="332" x="5" y="310" maximized="0" minimized="0">
      <fxchannel num="0" name="Master" muted="0" soloed="0" volume="1">
        <fxchain numofeffects="0" enabled="0"/>
      </fxchannel>
    </fxmixer>
    <timeline lp0pos="0" lp1pos="192" lpstate="0"/>
    <controllers/>
  </song>
</lmms-project>
'''
    with open(out, 'w') as f:
        f.write(text)


def finish_header(path):
    """Sets the RIFF and data sizes of a WAV file whose writer stopped before
    it filled them in (the data chunk is the last one and runs to the end)."""
    with open(path, 'rb') as f:
        data = bytearray(f.read())
    for pos, cid, size in chunks(data):
        if cid == b'data':
            size = len(data) - pos - 8
            struct.pack_into('<I', data, pos + 4, size)
            struct.pack_into('<I', data, 4, len(data) - 8)
            with open(path, 'wb') as f:
                f.write(data)
            print(f'   {path}: header completed, {size} bytes of audio as written')
            return
    raise SystemExit(f'lmms.py: error: {path} has no data chunk')


def chunk(mmp, out):
    root = ET.parse(mmp).getroot()
    found = [e for e in root.iter('vsteffectcontrols') if 'chunk' in e.attrib]
    if len(found) != 1:
        raise SystemExit(f'lmms.py: error: {mmp} holds {len(found)} VST chunks, not one')
    with open(out, 'wb') as f:
        f.write(base64.b64decode(found[0].attrib['chunk']))
    # A plug-in that LMMS could not load is kept as the XML it was read from
    # (the project written here has no program number). A loaded one is saved
    # afresh: with its program number (and, once its parameter knobs were
    # shown, its parameter count and values).
    attrib = found[0].attrib
    if 'paramCount' in attrib:
        print(f"program {attrib.get('program', '?')}, {attrib['paramCount']} parameters")
    elif 'program' in attrib:
        print(f"program {attrib['program']}")
    else:
        print('none')


def segments(dump):
    """The segments of a `kelvane-host state dump` text."""
    result = []
    for line in open(dump):
        words = line.split()
        if not words:
            continue
        if words[0] == 'segment':
            result.append({})
        elif result and words[0] in ('mute', 'bypass', 'blend', 'clip', 'follow'):
            result[-1][words[0]] = float(words[1])
        elif result and words[0] in ('start', 'control', 'end') and words[1] == 'pos':
            result[-1][words[0]] = (int(words[2]), float(words[4]))
    return result


def peak(frames, start, end):
    return max((abs(v) for frame in frames[start:end] for v in frame), default=0.0)


def db(value):
    return f'{20 * math.log10(value):6.1f} dBFS' if value > 0 else '  silent  '


def compare(lmms_wav, ref_wav, input_wav, dump):
    """LMMS's render against kelvane-host's single-precision render of the same
    input and state: every sample while the clip plays, silence after it, and
    what each shape did at its place on the timeline. Prints one line per
    check; returns the number of failed checks."""
    failed = 0

    def check(ok, text):
        nonlocal failed
        failed += 0 if ok else 1
        print(f'{"PASS" if ok else "FAIL"} lmms: {text}')

    rate, channels, got = read_wav(lmms_wav)
    ref_rate, ref_channels, ref = read_wav(ref_wav)
    _, _, src = read_wav(input_wav) if input_wav != '-' else (0, 0, ref)
    what = 'kelvane-host --float' if input_wav != '-' else 'the input'
    label = 'bit-exact' if input_wav != '-' else 'LMMS passes the audio unchanged (a project without the effect)'

    if (rate, channels) != (ref_rate, ref_channels) or len(got) < len(ref):
        check(False, f'LMMS rendered {len(got)} frames, {channels} channels at {rate} Hz; '
                     f'kelvane-host {len(ref)} frames, {ref_channels} channels at {ref_rate} Hz')
        return failed
    n = len(ref)
    differing = [i for i in range(n) if got[i] != ref[i]]
    largest = max((abs(a - b) for i in differing for a, b in zip(got[i], ref[i])), default=0.0)
    zero_signs = sum(1 for i in range(n) for a, b in zip(got[i], ref[i])
                     if a == b and struct.pack('<f', a) != struct.pack('<f', b))
    check(not differing,
          f'{label}: {n - len(differing)} of {n} frames ({n / rate:.3f} s) identical to {what}'
          + (f'; first difference at frame {differing[0]}, largest {largest:.3g}' if differing else '')
          + (f' ({zero_signs} zeros differ in sign only)' if zero_signs else ''))
    tail = peak(got, n, len(got))
    check(tail == 0.0, f'silence after the clip: frames {n}..{len(got)} (LMMS renders to the end of the bar), peak {db(tail)}')
    if input_wav == '-':
        return failed

    for number, seg in enumerate(segments(dump)):
        start, end = seg['start'][0], seg['end'][0]
        where = f'segment {number} {start / rate:5.2f} s - {end / rate:5.2f} s'
        levels = f'input {db(peak(src, start, end))}, LMMS {db(peak(got, start, end))}, kelvane-host {db(peak(ref, start, end))}'
        if seg.get('mute'):
            check(peak(got, start, end) == 0.0, f'{where} muted: silent in LMMS ({levels})')
        elif seg.get('bypass'):
            same = all(got[i] == src[i] for i in range(start, end))
            check(same, f'{where} bypassed: LMMS output equals the input ({levels})')
        elif seg.get('blend') == 1.0 and seg.get('clip') == 0.0:
            level = max(seg['start'][1], seg['control'][1], seg['end'][1])
            # The render is 32-bit float: the level as the nearest float is the bound.
            bound = struct.unpack('<f', struct.pack('<f', level))[0]
            check(peak(got, start, end) <= bound and peak(src, start, end) > bound,
                  f'{where} hard clipper at {db(level).strip()}: LMMS under it, the input over it ({levels})')
        else:
            moved = any(got[i] != src[i] for i in range(start, end))
            check(moved, f'{where} follower: LMMS output changed ({levels})')
    return failed


if __name__ == '__main__':
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == 'config':
        config(*args)
    elif cmd == 'project':
        project(*args)
    elif cmd == 'pad':
        pad(*args)
    elif cmd == 'chunk':
        chunk(*args)
    elif cmd == 'compare':
        sys.exit(1 if compare(*args) else 0)
    elif cmd == 'finish-header':
        finish_header(*args)
    elif cmd == 'same-audio':
        # Rate, channels and every sample equal (the files' other chunks may differ).
        sys.exit(0 if read_wav(args[0]) == read_wav(args[1]) else 1)
    else:
        raise SystemExit(__doc__)

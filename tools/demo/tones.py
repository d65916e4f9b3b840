#!/usr/bin/env python3
"""Gives each MP3 file of the demo library a voice: a pure tone of its own
pitch, encoded with lame in the file's own MPEG format and length, with the
file's ID3v1 tag kept. One pitch per track lets the mix picture tell the
tracks apart in one recording (demo/mixplot.py).

Usage: tones.py LIBRARY-FOLDER
Writes LIBRARY-FOLDER/tones.txt: one "<hz> <artist> - <title>" line per track.
The pitches are multiples of 20 Hz, whole cycles in the plot's 50 ms blocks.
"""
import os
import subprocess
import sys
import tempfile

BITRATES = {  # (MPEG 1?, index) -> kbit/s, layer III
    True: [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    False: [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}
RATES = {3: [44100, 48000, 32000], 2: [22050, 24000, 16000], 0: [11025, 12000, 8000]}
MODES = ["s", "j", "d", "m"]  # lame -m for stereo, joint, dual channel, mono
FIRST_HZ = 300
STEP_HZ = 40


def header(data):
    """(bit rate kbit/s, sample rate Hz, mode letter) of the first frame."""
    for at in range(len(data) - 4):
        b = data[at:at + 4]
        if b[0] == 0xFF and (b[1] & 0xE0) == 0xE0 and (b[1] >> 1) & 3 == 1:
            version = (b[1] >> 3) & 3
            rate_index = (b[2] >> 2) & 3
            bit_index = b[2] >> 4
            if version == 1 or rate_index == 3 or bit_index in (0, 15):
                continue
            return BITRATES[version == 3][bit_index], RATES[version][rate_index], MODES[b[3] >> 6]
    return None


def name(path, tag):
    """"Artist - Title" from the tag, else the file's name."""
    if not tag:
        return os.path.basename(path)
    text = lambda field: field.split(b"\0")[0].decode("latin-1").strip()
    return "%s - %s" % (text(tag[33:63]), text(tag[3:33]))


def voice(path, hz):
    """Gives the file its tone; its name for the picture."""
    data = open(path, "rb").read()
    tag = data[-128:] if data[-128:-125] == b"TAG" else b""
    found = header(data)
    if found is None:
        sys.exit("tones: no MPEG frame in " + path)
    kbps, rate, mode = found
    seconds = (len(data) - len(tag)) * 8 / (kbps * 1000)
    channels = 1 if mode == "m" else 2
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "tone.wav")
        mp3 = os.path.join(tmp, "tone.mp3")
        subprocess.run(["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", wav,
                        "synth", "%.3f" % seconds, "sine", str(hz), "vol", "0.5"], check=True)
        subprocess.run(["lame", "--quiet", "-t", "-b", str(kbps), "-m", mode, "--resample", str(rate / 1000),
                        wav, mp3], check=True)
        with open(path, "wb") as out:
            out.write(open(mp3, "rb").read() + tag)
    return name(path, tag)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    files = sorted(os.path.join(d, f) for d, _, names in os.walk(folder) for f in names if f.endswith(".mp3"))
    with open(os.path.join(folder, "tones.txt"), "w") as table:
        for i, path in enumerate(files):
            hz = FIRST_HZ + STEP_HZ * i
            table.write("%d %s\n" % (hz, voice(path, hz)))


if __name__ == "__main__":
    main()

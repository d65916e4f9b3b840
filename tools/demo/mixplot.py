#!/usr/bin/env python3
"""Draws the demo's recorded mix: the loudness of each track over time, one
curve per track (told apart by its own pitch, see tones.py), with the fade
phases of every change shaded: fade-in, duo, fade-out from the moment the
incoming track starts, found where its fade-in crosses half its level.

Usage: mixplot.py MIX.WAV TONES.TXT FADE-MS DUO-MS OUT.PNG
Needs sox (to read the recording) and gnuplot. Prints one line per track
heard: its start, its name and its loudest level. The recording is read as
sox decodes it, a block at a time: only the levels stay in memory.
"""
import array
import math
import os
import struct
import subprocess
import sys
import tempfile

RATE = 8000
BLOCK = RATE // 20  # 50 ms: the 20 Hz steps of the pitches are whole cycles
PLAYED = 0.4        # a track counts as heard when it reaches this share of the loudest (levelling sets the volumes)
FULL = 0.5          # the tones' amplitude at full volume, of full scale
COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2", "#17becf"]
PHASES = [("fade-in", "#dde8f7"), ("duo", "#e6f2dc"), ("fade-out", "#f7e3dd")]


def blocks(wav):
    """The recording in blocks of samples, as sox decodes it."""
    sox = subprocess.Popen(["sox", wav, "-r", str(RATE), "-c", "1", "-t", "raw", "-e", "signed", "-b", "16", "-L", "-"],
                           stdout=subprocess.PIPE)
    with sox:
        while True:
            data = sox.stdout.read(2 * BLOCK)
            if len(data) < 2 * BLOCK:
                break
            yield struct.unpack("<%dh" % BLOCK, data)
    if sox.returncode != 0:
        sys.exit("mixplot: sox cannot read " + wav)


def level(block, hz):
    """The tone's amplitude in the block (Goertzel), as a share of its full level."""
    c = 2 * math.cos(2 * math.pi * hz / RATE)
    s1 = s2 = 0.0
    for v in block:
        s1, s2 = v / 32768.0 + c * s1 - s2, s1
    power = max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)
    return 2 * math.sqrt(power) / BLOCK / FULL


def median3(curve):
    """Each block as the median of it and its neighbours: a dropout of the
    recording spreads a click over every pitch for a block."""
    return array.array("f", (sorted(curve[max(0, i - 1):i + 2])[len(curve[max(0, i - 1):i + 2]) // 2]
                             for i in range(len(curve))))


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    wav, table, fade, duo, png = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
    tracks = [line.rstrip("\n").split(" ", 1) for line in open(table) if line.strip()]
    curves = [array.array("f") for _ in tracks]
    for block in blocks(wav):
        for (hz, _), curve in zip(tracks, curves):
            curve.append(level(block, int(hz)))
    smoothed = [(name, median3(curve)) for (_, name), curve in zip(tracks, curves)]
    loudest = max((max(smooth, default=0.0) for _, smooth in smoothed), default=0.0)
    heard = []
    for name, smooth in smoothed:
        if loudest > 0 and max(smooth) > PLAYED * loudest:
            half = next(i for i, v in enumerate(smooth) if v >= max(smooth) / 2)
            heard.append((max(0.0, half * BLOCK / RATE - fade / 2000.0), name, smooth))
    heard.sort()
    if not heard:
        sys.exit("mixplot: no track is heard in " + wav)

    data = tempfile.NamedTemporaryFile("w", suffix=".dat", delete=False)
    with data:
        for i in range(len(heard[0][2])):
            data.write("%.2f %s\n" % (i * BLOCK / RATE, " ".join("%.4f" % h[2][i] for h in heard)))
    end = len(heard[0][2]) * BLOCK / RATE
    plot = ["set terminal pngcairo size 1000,480 font 'Sans,10'", "set output '%s'" % png,
            "set title 'The demo mix as recorded: loudness of each track, fade over %d ms + duo %d ms'" % (fade, duo),
            "set xlabel 'time in the recording (s)'", "set ylabel 'level (share of full volume, 150 ms median)'",
            "set xrange [0:%.2f]" % end, "set yrange [0:1.15]", "set key outside below horizontal", "set grid ytics"]
    for start, _, _ in heard[1:]:
        edge = start
        for label, colour in PHASES:
            length = (fade if label != "duo" else duo) / 1000.0
            plot.append("set object rect from %.2f,graph 0 to %.2f,graph 1 fc rgb '%s' fs solid 1.0 noborder behind"
                        % (edge, edge + length, colour))
            plot.append("set label '%s' at %.2f,graph 0.02 rotate by 90 left font 'Sans,8'" % (label, edge + length / 2))
            edge += length
    lines = ["'%s' using 1:%d with lines lw 2 lc rgb '%s' title '%s'"
             % (data.name, i + 2, COLOURS[i % len(COLOURS)], name.replace("'", "''"))
             for i, (_, name, _) in enumerate(heard)]
    plot.append("plot " + ", ".join(lines))
    try:
        subprocess.run(["gnuplot"], input="\n".join(plot) + "\n", text=True, check=True)
    finally:
        os.unlink(data.name)
    for start, name, curve in heard:
        print("mixplot: %6.2f s  %-40s loudest %.2f" % (start, name, max(curve)))


if __name__ == "__main__":
    main()

"""Sums the reports of mixsoak shards (bench/mixsoak.sh): counts add up, and
a line in milliseconds takes the longest of any shard. Also counts the
sanitizer findings in the shards' error output.

Usage: mixsoaksum.py SANITIZER FOLDER"""
import re
import sys
from pathlib import Path

NUMBER = re.compile(r"\d+(?:\.\d+)?")
FINDING = re.compile(r"(ERROR|WARNING): (Address|Leak|Thread)Sanitizer|runtime error:")
HEADER = re.compile(r"seed (\d+), clock (\S+) real time, (\S+) s real, (\d+) s of track time")


def text(number):
    return str(int(number)) if number == int(number) else f"{number:.1f}"


def main():
    san, folder = sys.argv[1], Path(sys.argv[2])
    seeds, real, track, speed = [], 0.0, 0, "?"
    templates = {}  # each line with its numbers taken out: the numbers summed up so far
    for report in sorted(folder.glob("*.txt")):
        header, *lines = report.read_text().splitlines()
        seed, speed, seconds, track_seconds = HEADER.search(header).groups()
        seeds.append(seed)
        real = max(real, float(seconds))
        track += int(track_seconds)
        for line in lines:
            numbers = [float(n) for n in NUMBER.findall(line)]
            longest = " ms" in line
            key = NUMBER.sub("{}", line)
            if key not in templates:
                templates[key] = numbers
            else:
                templates[key] = [max(a, b) if longest else a + b for a, b in zip(templates[key], numbers)]
    errors = sorted(folder.glob("*.err"))
    findings = [line for err in errors for line in err.read_text(errors="replace").splitlines() if FINDING.search(line)]
    print(f"mixer soak under {san} sanitizer: {len(seeds)} shards at once (seeds {', '.join(seeds)}), "
          f"clock {speed} real time, {text(real)} s real, {track} s of track time")
    for key, numbers in templates.items():
        print(key.format(*map(text, numbers)))
    crashed = [err.stem for err in errors if not err.with_suffix(".txt").exists()]
    print(f"shards that ended without a report: {len(crashed)}{' (seeds ' + ', '.join(crashed) + ')' if crashed else ''}")
    print(f"sanitizer findings: {len(findings)}")
    for line in findings[:20]:
        print("  " + line)


if __name__ == "__main__":
    main()

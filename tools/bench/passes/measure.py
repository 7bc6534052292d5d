"""Runs pelmora-host on recordings of several lengths and times its passes.

Called by tools/bench/passes/bench-passes, which explains the figures; see there.
"""

import argparse
import math
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import time

PROGRESS = re.compile(r"^pelmora-host: (.*) (\d+)%$")
DETECTORS = ["hum", "pilot", "spectral"]
CHUNK = 600  # seconds that wowgen makes at once


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--lengths", default="10,600,3600")
    p.add_argument("--only", choices=["native", "wine"])
    p.add_argument("--work")
    p.add_argument("--keep", action="store_true")
    p.add_argument("--native-host")
    p.add_argument("--wine-host")
    p.add_argument("--wowgen")
    p.add_argument("--detectors", default=",".join(DETECTORS))
    return p.parse_args()


def length_name(seconds):
    if seconds % 3600 == 0:
        return f"{seconds // 3600} h"
    if seconds % 60 == 0:
        return f"{seconds // 60} min"
    return f"{seconds} s"


def make_recording(wowgen, path, seconds, work):
    """A stereo 96 kHz float recording with a tone, partials, mains hum, a
    pilot tone above 14 kHz and wow; longer ones repeat a 10-min one."""
    chunk = min(seconds, CHUNK)
    if seconds > CHUNK and seconds % CHUNK:
        sys.exit(f"bench-passes: {seconds} s is not a whole number of {CHUNK} s pieces")
    base = os.path.join(work, f"piece-{chunk}.wav")
    if not os.path.exists(base):
        subprocess.run([wowgen, base, "--rate", "96000", "--channels", "2", "--seconds", str(chunk),
                        "--tone", "1000:0.25", "--tone", "440:0.15", "--tone", "660:0.1", "--tone", "1760:0.05",
                        "--hum", "50:0.015:3", "--pilot", "19000:0.05", "--noise", "0.001",
                        "--wow", "0.55:0.3", "--wow", "1.7:0.1", "--format", "float"],
                       check=True, stdout=subprocess.DEVNULL)
    if chunk == seconds:
        os.link(base, path)
    else:
        repeat_recording(base, path, seconds // chunk)


def write_curve(path, seconds):
    """0.4 % peak wow over the whole length, a point every 50 ms, so that the
    correction resamples at fractional positions throughout."""
    rate, step = 96000, 4800
    with open(path, "w") as f:
        for k in range(0, seconds * rate + step, step):
            t = k / rate
            ratio = 1.0 + 0.003 * math.sin(2 * math.pi * 0.55 * t) + 0.001 * math.sin(2 * math.pi * 0.07 * t)
            f.write(f"{k} {ratio:f}\n")


def repeat_recording(source, target, times):
    """The source's audio data several times over, under its own header;
    copied a piece at a time, so that this script stays small (a child
    starts with its parent's memory counted)."""
    with open(source, "rb") as f:
        head = f.read(1 << 16)
        if head[:4] != b"RIFF" or head[8:12] != b"WAVE":
            sys.exit(f"bench-passes: {source} is not a RIFF/WAVE file")
        at = 12
        while True:
            if at + 8 > len(head):
                sys.exit(f"bench-passes: {source} has no data chunk near its start")
            tag, size = head[at:at + 4], struct.unpack("<I", head[at + 4:at + 8])[0]
            if tag == b"data":
                break
            at += 8 + size + (size & 1)
        header = head[:at]
        total = size * times
        if len(header) + 8 + total - 8 >= 2**32:
            sys.exit("bench-passes: the repeated recording would not fit a RIFF file")
        header = header[:4] + struct.pack("<I", len(header) + total) + header[8:]
        with open(target, "wb") as out:
            out.write(header + b"data" + struct.pack("<I", total))
            for _ in range(times):
                f.seek(at + 8)
                left = size
                while left:
                    piece = f.read(min(left, 1 << 22))
                    if not piece:
                        sys.exit(f"bench-passes: {source} is shorter than its data chunk says")
                    out.write(piece)
                    left -= len(piece)


def target_pid(child):
    """The process that runs pelmora-host: the child itself natively; under
    Wine the child or a descendant whose command line names the program."""
    try:
        with open(f"/proc/{child}/cmdline", "rb") as f:
            if b"pelmora-host" in f.read():
                return child
    except OSError:
        return child
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/cmdline", "rb") as f:
                line = f.read()
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat.rsplit(")", 1)[1].split()[1])
        if b"pelmora-host" in line and ppid == child:
            return int(entry)
    return child


def resident_kb(pid):
    """(resident size, its high-water mark) in kB, or None once gone."""
    rss = hwm = None
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
                elif line.startswith("VmHWM:"):
                    hwm = int(line.split()[1])
    except OSError:
        return None
    return (rss, hwm) if rss is not None else None


def run_measured(command, env, log_path):
    """Runs command with stderr in a file, polling that file and the
    process's resident size every 10 ms. Returns (exit status, seconds,
    peak kB, [(time, resident kB)], [(time, line)]). The peak is the
    program's own high-water mark: the rusage of a child also counts what its
    parent had mapped when it forked."""
    samples, lines, peak = [], [], 0
    with open(log_path, "wb") as log:
        start = time.monotonic()
        proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=log, stdin=subprocess.DEVNULL)
    pid, next_lookup = proc.pid, start + 0.3
    with open(log_path, "rb") as reader:
        pending = b""
        status = None
        while status is None:
            done, raw_status, _ = os.wait4(proc.pid, os.WNOHANG)
            now = time.monotonic()
            if done:
                status = os.waitstatus_to_exitcode(raw_status)
            elif now >= next_lookup:
                pid, next_lookup = target_pid(proc.pid), now + 0.5
            if status is None:
                sizes = resident_kb(pid)
                if sizes is not None:
                    samples.append((now - start, sizes[0]))
                    peak = max(peak, sizes[1] or sizes[0])
            pending += reader.read()
            *complete, pending = pending.split(b"\n")
            for line in complete:
                lines.append((now - start, line.decode(errors="replace").rstrip("\r")))
            if status is None:
                time.sleep(0.01)
        elapsed = time.monotonic() - start
        proc.returncode = status
        peak = max([peak] + [rss for _, rss in samples])
        for line in (pending + reader.read()).split(b"\n"):
            if line.strip():
                lines.append((elapsed, line.decode(errors="replace").rstrip("\r")))
    return status, elapsed, peak, samples, lines


def split_passes(lines, elapsed):
    """[(start, end)] of each pass: a pass begins where the percentage falls
    back or the label changes."""
    starts, label, percent = [], None, None
    for t, line in lines:
        m = PROGRESS.match(line)
        if not m:
            continue
        l, p = m.group(1), int(m.group(2))
        if l != label or percent is None or p < percent:
            starts.append(t)
        label, percent = l, p
    return [(s, starts[i + 1] if i + 1 < len(starts) else elapsed) for i, s in enumerate(starts)]


def peak_in(samples, start, end):
    inside = [rss for t, rss in samples if start <= t <= end]
    return max(inside) if inside else None


def measure_run(host, args, env, log_path):
    status, elapsed, peak, samples, lines = run_measured(host + args, env, log_path)
    result = {"status": status, "elapsed": elapsed, "peak": peak,
              "message": next((l for _, l in reversed(lines) if not PROGRESS.match(l)), "")}
    passes = split_passes(lines, elapsed)
    opened = passes[0][0] if passes else elapsed
    result["open"] = (opened, peak_in(samples, 0.0, opened))
    if status != 0 or len(passes) < 2:
        result["passes"] = None
        return result
    reading, correction = passes[0], passes[-1]
    detection = (passes[1][0], passes[-1][0]) if len(passes) > 2 else None
    result["passes"] = {
        "reading": (reading[1] - reading[0], peak_in(samples, *reading)),
        "correction": (correction[1] - correction[0], peak_in(samples, *correction)),
        "detection": (detection[1] - detection[0], peak_in(samples, *detection)) if detection else None,
    }
    return result


def host_help(host, env):
    try:
        out = subprocess.run(host + ["--help"], env=env, capture_output=True, text=True, timeout=120,
                             stdin=subprocess.DEVNULL)
        return out.stdout + out.stderr
    except subprocess.TimeoutExpired:
        return ""


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def cell(entry):
    if entry is None:
        return "-"
    if isinstance(entry, str):
        return entry
    seconds, kb = entry
    t = f"{seconds:.2f} s" if seconds < 100 else f"{seconds:.0f} s"
    m = "?" if kb is None else f"{kb / 1024:.0f} MB"
    return f"{t} {m}"


def print_table(title, lengths, table):
    rows = ["open", "reading", "hum", "pilot", "spectral", "correction", "whole run"]
    width = 22
    print()
    print(title)
    print(f"{'pass':<12}" + "".join(f"{length_name(s):>{width}}" for s in lengths))
    for row in rows:
        print(f"{row:<12}" + "".join(f"{cell(table.get((row, s))):>{width}}" for s in lengths))
    sys.stdout.flush()


def bench_platform(name, host, env, to_host_path, lengths, work, wowgen, keep, detectors):
    help_text = host_help(host, env)
    band = ["--band", "200:4000"] if "--band" in help_text else []
    takes_curve = "--curve" in help_text
    table, notes = {}, []
    for seconds in lengths:
        recording = os.path.join(work, f"rec-{seconds}.wav")
        if not os.path.exists(recording):
            make_recording(wowgen, recording, seconds, work)
        output = os.path.join(work, f"out-{seconds}.wav")
        curve = os.path.join(work, f"wow-{seconds}.pvc")
        write_curve(curve, seconds)
        runs = {}
        # A host whose correct takes no band refuses the spectral detector.
        for detector in [None] + [d for d in detectors if d != "spectral" or band]:
            args = ["correct", to_host_path(recording), to_host_path(output)]
            if detector:
                args += ["--detect", detector] + (band if detector == "spectral" else [])
            elif takes_curve:
                args += ["--curve", to_host_path(curve)]
            log = os.path.join(work, f"{name}-{seconds}-{detector or 'plain'}.log")
            runs[detector] = r = measure_run(host, args, env, log)
            if os.path.exists(output):
                os.remove(output)
            what = f"{name} {length_name(seconds)} {detector or 'plain'}"
            print(f"bench-passes: {what}: exit {r['status']}, {r['elapsed']:.1f} s, peak {r['peak'] / 1024:.0f} MB",
                  file=sys.stderr, flush=True)
            if r["status"] != 0:
                notes.append(f"{what}: exit {r['status']}: {r['message']}")
        good = [r for r in runs.values() if r["passes"]]
        for key in ["reading", "correction"]:
            if good:
                table[(key, seconds)] = (median(r["passes"][key][0] for r in good),
                                         median(r["passes"][key][1] for r in good))
            else:
                table[(key, seconds)] = "failed"
        for detector in detectors:
            r = runs[detector]
            table[(detector, seconds)] = r["passes"]["detection"] if r["passes"] else "failed"
        table[("open", seconds)] = (median(r["open"][0] for r in runs.values()),
                                    median(r["open"][1] for r in runs.values()))
        plain = runs[None]
        table[("whole run", seconds)] = (plain["elapsed"], plain["peak"]) if plain["status"] == 0 else "failed"
        os.remove(curve)
        if not keep:
            os.remove(recording)
    return table, notes


def main():
    a = parse_args()
    root = a.root
    work = a.work or os.path.join(root, "build", "passbench")
    os.makedirs(work, exist_ok=True)
    lengths = [int(s) for s in a.lengths.split(",")]
    detectors = [d for d in a.detectors.split(",") if d]
    if any(d not in DETECTORS for d in detectors):
        sys.exit("bench-passes: --detectors takes hum, pilot and spectral")
    wowgen = a.wowgen or next((p for p in [os.path.join(root, "build", "bench", "bin", "wowgen"),
                                           os.path.join(root, "build", "native", "bin", "wowgen")]
                               if os.path.exists(p)), None)
    if not wowgen:
        sys.exit("bench-passes: no wowgen built (build/bench or build/native)")
    results = []
    if a.only != "wine":
        native = a.native_host or os.path.join(root, "build", "bench", "bin", "pelmora-host-native")
        if not os.path.exists(native):
            sys.exit(f"bench-passes: {native} is missing; build it as the script's header says")
        table, notes = bench_platform("native", [native], dict(os.environ), lambda p: p, lengths, work, wowgen,
                                      a.keep, detectors)
        results.append((f"native: {native}", table, notes))
    if a.only != "native":
        exe = a.wine_host or os.path.join(root, "dist", "win32", "pelmora-host.exe")
        if not os.path.exists(exe):
            sys.exit(f"bench-passes: {exe} is missing; tools/build win32 makes it")

        def winepath(p):
            return "Z:" + os.path.abspath(p).replace("/", "\\")

        table, notes = bench_platform("wine", ["wine", exe], dict(os.environ), winepath, lengths, work, wowgen,
                                      a.keep, detectors)
        results.append((f"Wine: {exe}", table, notes))
    if not a.keep:
        for name in os.listdir(work):
            if name.startswith(("piece-", "rec-")):
                os.remove(os.path.join(work, name))
    print(f"\nstereo 96 kHz 32-bit float; each cell: time, peak resident memory; {os.cpu_count()} cores,"
          f" {time.strftime('%Y-%m-%d %H:%M')}")
    for title, table, notes in results:
        print_table(title, lengths, table)
        for note in notes:
            print("  " + note)


if __name__ == "__main__":
    main()

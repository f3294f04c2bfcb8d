#!/usr/bin/env python3
"""Unplug during a send, with real processes: `tarvikctl --hid socket:S apply`
sends the whole profile (six buttons, every settings command and five
macros of 100 steps: 74 reports) to a tarvik-mousesim with the real 60 ms pacing.
A watcher on the daemon's socket counts the frames the mouse received and
unplugs both identities once k reports have arrived (k = 0 .. all but the
last); then tarvikctl must end
within its deadline, the mouse is plugged in again, and a second apply must
succeed and leave the mouse holding exactly what one uninterrupted apply
gives it (each trial on a new daemon, so the mouse starts empty).

The per-position check on the in-process mouse is the device tests'
UnplugEveryReportTest; this campaign proves the same through the socket, the
daemon and the command line.

Exit status 0 when every position passed."""

import argparse
import shutil
import subprocess
import sys
import time

import faultlib as fl

APPLY_DEADLINE = 60  # s; a full apply takes about 2 s of pacing


def prepare(progs, data, root):
    """Five distinct macros of 100 mouse steps on buttons 1 and 3-6 (button 2
    keeps the left click the profile must have)."""
    fl.init_folder(progs, data)
    fl.write_utf16(data / "config" / "MacroLibraryFile.mlf", fl.long_library_text())
    mkf = root / "copy.mkf"
    fl.ctl(progs, data, "macro", "export", "--path", "Copy", mkf, check=True)
    fl.ctl(progs, data, "macro", "import", mkf, "--into", "Games", check=True)
    fl.ctl(progs, data, "assign", "--button", "2", "left", check=True)
    macros = {1: "Copy", 3: "Games/Jump", 4: "Office/Paste", 5: "Games/Deep/Ünïcode 宏=x", 6: "Games/Copy"}
    for button, path in macros.items():
        fl.ctl(progs, data, "assign", "--button", str(button), "macro", path, check=True)


def apply(progs, data, sock):
    return fl.run([progs.ctl, "--data-dir", data, "--hid", f"socket:{sock}", "apply"], timeout=APPLY_DEADLINE)


def reference(progs, data, root):
    with fl.MouseSim(progs, root / "ref.sock") as sim:
        r = apply(progs, data, sim.sock)
        if r.returncode != 0:
            sys.exit("a plain apply failed: " + r.stderr.decode(errors="replace"))
        d = sim.dump()
    return fl.held(d), d["framesReceived"]


def trial(progs, data, root, position, expected):
    """Returns a list of faults (empty when the trial passed)."""
    faults = []
    with fl.MouseSim(progs, root / f"p{position}.sock") as sim:
        watcher = fl.SimClient(sim.sock)
        p = subprocess.Popen([str(progs.ctl), "--data-dir", str(data), "--hid", f"socket:{sim.sock}", "apply"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=fl.base_env())
        # The counter is read every 2 ms; reports come 60 ms apart.
        seen = fl.wait_for(lambda: p.poll() is not None or watcher.dump()["framesReceived"] >= position,
                           APPLY_DEADLINE, 0.002)
        watcher.plug(0, False)
        watcher.plug(1, False)
        cut_at = watcher.dump()["framesReceived"]
        if not seen or p.poll() is not None and cut_at < position:
            faults.append(f"position {position}: the apply ended after {cut_at} reports")
        try:
            _, err = p.communicate(timeout=APPLY_DEADLINE)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()
            faults.append(f"position {position}: tarvikctl apply hung after the unplug")
            return faults, cut_at
        if p.returncode not in (0, 1):
            faults.append(f"position {position}: the cut apply exited {p.returncode}: "
                          f"{err.decode(errors='replace')}")
        watcher.plug(0, True)
        watcher.plug(1, True)
        watcher.close()
        again = apply(progs, data, sim.sock)
        if again.returncode != 0:
            faults.append(f"position {position}: the apply after the replug exited {again.returncode}: "
                          f"{again.stderr.decode(errors='replace')}")
        d = sim.dump()
        if d["malformedFrames"]:
            faults.append(f"position {position}: {d['malformedFrames']} malformed frames")
        if fl.held(d) != expected:
            diff = [k for k in fl.HELD_FIELDS if fl.held(d)[k] != expected[k]]
            faults.append(f"position {position}: the mouse differs from the profile in {', '.join(diff)}")
        if not sim.alive():
            faults.append(f"position {position}: the daemon ended")
    return faults, cut_at


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    ap.add_argument("--positions", default="all",
                    help="'all', or a comma-separated list of how many reports arrive before the unplug")
    args = ap.parse_args()
    progs = fl.Programs(args.build, ("ctl", "sim"))
    started = time.monotonic()
    faults = []
    with fl.TempRoot() as root:
        base = root / "data"
        prepare(progs, base, root)
        expected, total = reference(progs, base, root)
        positions = range(0, total) if args.positions == "all" else \
            [int(x) for x in args.positions.split(",") if 0 <= int(x) < total]
        cuts = []
        for position in positions:
            data = root / f"d{position}"
            shutil.copytree(base, data, symlinks=True)
            f, cut_at = trial(progs, data, root, position, expected)
            faults += f
            cuts.append(cut_at)
            shutil.rmtree(data, ignore_errors=True)
    print(f"reports in a full apply {total} | positions {len(cuts)} | unplugged after "
          f"{min(cuts, default=0)}-{max(cuts, default=0)} reports | faults {len(faults)} | "
          f"took {time.monotonic() - started:.0f} s")
    for f in faults:
        print("FAULT:", f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

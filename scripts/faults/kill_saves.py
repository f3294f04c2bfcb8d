#!/usr/bin/env python3
"""Kill -9 at random moments of the commands that save: tarvikctl import,
assign, profile add and macro import, and the window's delayed save.

Each trial starts from a copy of one prepared data folder. Before the trials,
each command runs to its end on a copy: that gives the new version of every
file. After each kill every file in config/ must be byte for byte its old or
its new version and pass `tarvikctl check`; a file that is neither, or fails
the check, is torn. Temporary files a kill leaves are counted, and `tarvikctl
init` must then succeed and remove them.

The window trials run `tarvik --hid socket:S` (offscreen) on a tarvik-mousesim
of their own, with no tarvikctl involved. The change is the DPI button pressed
on the virtual mouse (`ctl press-dpi`): the window takes the new level into its
profile. An unplug and replug of identity B then makes the window scan and
send, which arms its delayed save; 10 s later the save writes the level. The
kill falls at a random moment of the 80 ms after the save's first temporary
file appears.

Exit status 0 when no file was torn and every program ended within its
deadline."""

import argparse
import concurrent.futures
import os
import shutil
import signal
import subprocess
import sys
import time
from collections import Counter, defaultdict
from pathlib import Path

import faultlib as fl

CLI_KINDS = {
    "import": lambda f: ["import", "--slot", "1", f["psf"]],
    "assign": lambda f: ["assign", "--slot", "0", "--button", "2", "macro", "Office/Paste"],
    "profile-add": lambda f: ["profile", "add", "Killed"],
    "macro-import": lambda f: ["macro", "import", f["mkf"], "--into", "Games"],
}
WINDOW_SAVE_DEADLINE = 30  # s from the change to the delayed save (10 s after the replug's send)
KILL_WINDOW_S = 0.08


def prepare(progs, root, base):
    """The data folder every trial copies, and the files the commands read.
    config.ini stores the slot paths inside its folder, so a folder is prepared,
    completed and killed at one and the same path, and kept as bytes elsewhere."""
    files = {}
    fl.init_folder(progs, base)
    fl.write_utf16(base / "config" / "MacroLibraryFile.mlf", fl.LIBRARY_TEXT.read_text())
    # A profile file to import: another folder's slot 0 with a changed button and name.
    other = root / "other"
    fl.init_folder(progs, other)
    fl.ctl(progs, other, "assign", "--button", "3", "shortcut", "ctrl+shift+a", check=True)
    fl.ctl(progs, other, "profile", "rename", "0", "Imported", check=True)
    files["psf"] = root / "import.psf"
    fl.ctl(progs, other, "export", "--slot", "0", files["psf"], check=True)
    files["mkf"] = root / "one.mkf"
    fl.ctl(progs, base, "macro", "export", "--path", "Copy", files["mkf"], check=True)
    return files


def put(kept, folder):
    """Lays the kept bytes of a data folder at `folder` (its path for the trials)."""
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(kept, folder, symlinks=True)


def settle_for_window(progs, kept, root, slot):
    """A data folder for the window trials of one slot: the prepared bytes laid
    at the slot's path, and a window run on them until its end, so that
    a later window's start-up there writes nothing of its own. Returns where the
    settled bytes are kept and the new version of config/ after a window change."""
    folder = root / f"w{slot}"
    put(kept, folder)
    with fl.MouseSim(progs, root / f"settle{slot}.sock") as sim:
        win = start_window(progs, sim, folder)
        try:
            if not fl.wait_for(lambda: win.poll() is not None or sim.dump()["framesReceived"] >= 1, 20, 0.05):
                raise RuntimeError("the window never reached the mouse")
        finally:
            stop_window(win)  # its end writes every file
    settled = root / f"w{slot}-kept"
    shutil.copytree(folder, settled, symlinks=True)
    return settled, window_new_version(progs, settled, root, slot)


def start_window(progs, sim, data):
    return subprocess.Popen([str(progs.window), "--hid", f"socket:{sim.sock}", "--data-dir", str(data)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=fl.base_env())


def stop_window(win):
    if win.poll() is None:
        win.send_signal(signal.SIGTERM)
        try:
            win.wait(timeout=20)
        except subprocess.TimeoutExpired:
            win.kill()
            win.wait()
            raise RuntimeError("the window did not end within 20 s of SIGTERM")
    return win.returncode


def wait_for_save(config, before, timeout):
    """Until the files differ from `before` and no temporary file is left."""
    def done():
        now = fl.snapshot(config)
        return now != before and not any(fl.is_temporary(n) for n in now) and \
            {k: v for k, v in now.items() if k != fl.LOCK_NAME} != \
            {k: v for k, v in before.items() if k != fl.LOCK_NAME}
    return fl.wait_for(done, timeout, step=0.05)


def wait_for_first_temporary(config, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            if any(fl.is_temporary(n) for n in os.listdir(config)):
                return True
        except FileNotFoundError:
            pass
        time.sleep(0.0005)
    return False


def window_change(sim, win):
    """Waits for the window's start-up to reach the mouse, presses the DPI
    button (the window takes the new level into its profile) and unplugs and
    plugs identity B: the scan that follows is a send, and every send arms the
    delayed save, which writes the level 10 s later."""
    # The window's second status query (about 2 s after its start) shows that its
    # start-up has finished: readers, hotplug watch and timers all run.
    if not fl.wait_for(lambda: win.poll() is not None or sim.dump()["framesReceived"] >= 2, 20, 0.05):
        raise RuntimeError("the window never queried the mouse twice")
    if win.poll() is not None:
        raise RuntimeError(f"the window ended early with {win.returncode}")
    for args in (["press-dpi"], ["unplug", "B"], ["plug", "B"]):
        r = sim.ctl(*args)
        if r.returncode != 0:
            raise RuntimeError(f"ctl {' '.join(args)} failed: " + r.stderr.decode(errors="replace"))


def window_new_version(progs, settled, root, slot):
    folder = root / f"w{slot}"
    put(settled, folder)
    before = fl.snapshot(folder / "config")
    with fl.MouseSim(progs, root / f"new{slot}.sock") as sim:
        win = start_window(progs, sim, folder)
        try:
            window_change(sim, win)
            if not wait_for_save(folder / "config", before, WINDOW_SAVE_DEADLINE):
                raise RuntimeError("the window's delayed save changed nothing")
        finally:
            stop_window(win)
    return fl.snapshot(folder / "config")


def window_trial(progs, settled, root, slot, rng_value):
    folder = root / f"w{slot}"
    put(settled, folder)
    with fl.MouseSim(progs, root / f"w{slot}.sock") as sim:
        win = start_window(progs, sim, folder)
        try:
            window_change(sim, win)
            if not wait_for_first_temporary(folder / "config", WINDOW_SAVE_DEADLINE):
                raise RuntimeError("no save began within the deadline")
            time.sleep(rng_value * KILL_WINDOW_S)
            exited_before = win.poll() is not None
            win.kill()
            win.wait(timeout=10)
        except BaseException:
            if win.poll() is None:
                win.kill()
                win.wait()
            raise
    return folder, exited_before


def cli_new_version(progs, kept, folder, kind, files):
    put(kept, folder)
    start = time.monotonic()
    r = fl.ctl(progs, folder, *CLI_KINDS[kind](files))
    took = time.monotonic() - start
    if r.returncode != 0:
        raise RuntimeError(f"{kind} on a copy exited {r.returncode}: {r.stderr.decode(errors='replace')}")
    return fl.snapshot(folder / "config"), took


def cli_trial(progs, kept, folder, kind, files, delay):
    put(kept, folder)
    args = [str(progs.ctl), "--data-dir", str(folder), *map(str, CLI_KINDS[kind](files))]
    p = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=fl.base_env())
    time.sleep(delay)
    exited_before = p.poll() is not None
    p.kill()
    p.wait(timeout=10)
    return exited_before


def judge(progs, folder, old, new):
    torn, leftovers, states = fl.classify_config(progs, folder / "config", old, new)
    changed = [s for s in states.values() if s != "same"]
    if torn:
        where = "torn"
    elif leftovers or ("old" in changed and "new" in changed):
        where = "during"
    elif all(s == "new" for s in changed):
        where = "after"
    else:
        where = "before"
    # The next run recovers: the start-up load removes what the kill left.
    r = fl.ctl(progs, folder, "init")
    recovered = r.returncode == 0 and not any(fl.is_temporary(n) for n in fl.snapshot(folder / "config"))
    return torn, leftovers, where, recovered


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    ap.add_argument("--cli-trials", type=int, default=200, help="trials over the four tarvikctl commands")
    ap.add_argument("--window-trials", type=int, default=40)
    ap.add_argument("--parallel", type=int, default=4, help="window trials at a time")
    ap.add_argument("--seed", type=int)
    ap.add_argument("--keep", action="store_true", help="keep the campaign's folder")
    args = ap.parse_args()
    progs = fl.Programs(args.build)
    rng = fl.seeded(args.seed)

    totals = defaultdict(Counter)
    torn_files = []
    failures = []
    started = time.monotonic()

    def record(kind, folder, exited_before, old, new):
        torn, leftovers, where, recovered = judge(progs, folder, old, new)
        t = totals[kind]
        t["trials"] += 1
        t[where] += 1
        t["ended before the kill"] += exited_before
        if exited_before and where != "after":
            failures.append(f"{kind}: the command ended before the kill but left the files {where} its change")
        t["temporary files left"] += len(leftovers)
        t["torn files"] += len(torn)
        if not recovered:
            failures.append(f"{kind}: init after the kill did not recover {folder}")
        torn_files.extend(f"{kind} {folder.name}: {x}" for x in torn)

    with fl.TempRoot(args.keep) as root:
        folder = root / "cli"
        files = prepare(progs, root, folder)
        kept = root / "cli-kept"
        shutil.copytree(folder, kept, symlinks=True)
        old = fl.snapshot(kept / "config")

        kinds = list(CLI_KINDS)
        news = {k: cli_new_version(progs, kept, folder, k, files) for k in kinds}
        for kind, (new, _) in news.items():
            if new == old:
                failures.append(f"{kind} changed nothing")

        for n in range(args.cli_trials):
            kind = kinds[n % len(kinds)]
            new, took = news[kind]
            # Uniform over the whole run and a little past it.
            delay = rng.uniform(0, took * 1.1)
            try:
                exited = cli_trial(progs, kept, folder, kind, files, delay)
                record(kind, folder, exited, old, new)
            except subprocess.TimeoutExpired:
                totals[kind]["hangs"] += 1
                failures.append(f"{kind} trial {n}: a program did not end")

        if args.window_trials:
            slots = min(args.parallel, args.window_trials)
            with concurrent.futures.ThreadPoolExecutor(slots) as pool:
                prepared = list(pool.map(lambda s: settle_for_window(progs, kept, root, s), range(slots)))
            for settled, wnew in prepared:
                if wnew == fl.snapshot(settled / "config"):
                    failures.append("the window's save changed nothing")
            offsets = [rng.random() for _ in range(args.window_trials)]

            def slot_trials(slot):
                settled, wnew = prepared[slot]
                wold = fl.snapshot(settled / "config")
                for i in range(slot, args.window_trials, slots):
                    try:
                        folder, exited = window_trial(progs, settled, root, slot, offsets[i])
                        record("window save", folder, exited, wold, wnew)
                    except (RuntimeError, subprocess.TimeoutExpired) as e:
                        totals["window save"]["hangs"] += 1
                        failures.append(f"window trial {i}: {e}")

            with concurrent.futures.ThreadPoolExecutor(slots) as pool:
                list(pool.map(slot_trials, range(slots)))

    columns = ["trials", "before", "during", "after", "ended before the kill", "temporary files left",
               "torn files", "hangs"]
    print("kind           " + " | ".join(columns))
    grand = Counter()
    for kind, t in totals.items():
        grand.update(t)
        print(f"{kind:14} " + " | ".join(str(t[c]) for c in columns))
    print(f"{'all':14} " + " | ".join(str(grand[c]) for c in columns))
    print(f"took {time.monotonic() - started:.0f} s")
    for line in torn_files + failures:
        print("FAULT:", line)
    return 1 if torn_files or failures or grand["hangs"] else 0


if __name__ == "__main__":
    sys.exit(main())

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
of their own. The change is the DPI button pressed on the virtual mouse
(`ctl press-dpi`) after the window's start-up send: the window takes the new
level into its profile, and the delayed save, 10 s after that send, writes it.
The kill falls at a random moment of the 80 ms after the save's first
temporary file appears.

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
    "assign": lambda f: ["assign", "--slot", "0", "--button", "2", "macro", "Office/Jump"],
    "profile-add": lambda f: ["profile", "add", "Killed"],
    "macro-import": lambda f: ["macro", "import", f["mkf"], "--into", "Games"],
}
WINDOW_SAVE_DEADLINE = 30  # s from start to the delayed save (10 s after the start-up send)
KILL_WINDOW_S = 0.08


def prepare(progs, root):
    """The data folder every trial copies, and the files the commands read."""
    files = {}
    base = root / "base"
    fl.ctl(progs, base, "init", check=True)
    fl.write_utf16(base / "config" / "MacroLibraryFile.mlf", fl.LIBRARY_TEXT.read_text())
    # A profile file to import: another folder's slot 0 with a changed button and name.
    other = root / "other"
    fl.ctl(progs, other, "init", check=True)
    fl.ctl(progs, other, "assign", "--button", "3", "shortcut", "ctrl+shift+a", check=True)
    fl.ctl(progs, other, "profile", "rename", "0", "Imported", check=True)
    files["psf"] = root / "import.psf"
    fl.ctl(progs, other, "export", "--slot", "0", files["psf"], check=True)
    files["mkf"] = root / "one.mkf"
    fl.ctl(progs, base, "macro", "export", "--path", "Copy", files["mkf"], check=True)
    return base, files


def settle_for_window(progs, base, root):
    """Lets a window run once on the folder until its delayed save, so that a
    window's start-up on a copy writes nothing of its own."""
    with fl.MouseSim(progs, root / "settle.sock") as sim:
        win = start_window(progs, sim, base)
        try:
            saved = wait_for_save(base / "config", fl.snapshot(base / "config"), WINDOW_SAVE_DEADLINE)
        finally:
            stop_window(win)
        if not saved:
            print("note: the first window run saved nothing (already settled)")


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
    """Waits for the window's start-up send to reach the mouse, then presses the DPI button."""
    if not fl.wait_for(lambda: win.poll() is not None or sim.dump()["lastSequence"] is not None, 20, 0.05):
        raise RuntimeError("the window's start-up send never reached the mouse")
    if win.poll() is not None:
        raise RuntimeError(f"the window ended early with {win.returncode}")
    r = sim.ctl("press-dpi")
    if r.returncode != 0:
        raise RuntimeError("press-dpi failed: " + r.stderr.decode(errors="replace"))


def window_new_version(progs, base, root):
    folder = root / "window-new"
    shutil.copytree(base, folder, symlinks=True)
    before = fl.snapshot(folder / "config")
    with fl.MouseSim(progs, root / "window-new.sock") as sim:
        win = start_window(progs, sim, folder)
        try:
            window_change(sim, win)
            if not wait_for_save(folder / "config", before, WINDOW_SAVE_DEADLINE):
                raise RuntimeError("the window's delayed save changed nothing")
        finally:
            stop_window(win)
    return fl.snapshot(folder / "config")


def window_trial(progs, base, root, n, rng_value):
    folder = root / f"t{n}"
    shutil.copytree(base, folder, symlinks=True)
    with fl.MouseSim(progs, root / f"t{n}.sock") as sim:
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


def cli_new_version(progs, base, root, kind, files):
    folder = root / f"{kind}-new"
    shutil.copytree(base, folder, symlinks=True)
    start = time.monotonic()
    r = fl.ctl(progs, folder, *CLI_KINDS[kind](files))
    took = time.monotonic() - start
    if r.returncode != 0:
        raise RuntimeError(f"{kind} on a copy exited {r.returncode}: {r.stderr.decode(errors='replace')}")
    return fl.snapshot(folder / "config"), took


def cli_trial(progs, base, root, n, kind, files, delay):
    folder = root / f"t{n}"
    shutil.copytree(base, folder, symlinks=True)
    args = [str(progs.ctl), "--data-dir", str(folder), *map(str, CLI_KINDS[kind](files))]
    p = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=fl.base_env())
    time.sleep(delay)
    exited_before = p.poll() is not None
    p.kill()
    p.wait(timeout=10)
    return folder, exited_before


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
    ap.add_argument("--keep", action="store_true", help="keep the trial folders")
    args = ap.parse_args()
    progs = fl.Programs(args.build)
    rng = fl.seeded(args.seed)

    totals = defaultdict(Counter)
    torn_files = []
    failures = []
    started = time.monotonic()
    with fl.TempRoot(args.keep) as root:
        base, files = prepare(progs, root)
        if args.window_trials:
            settle_for_window(progs, base, root)
        old = fl.snapshot(base / "config")

        kinds = list(CLI_KINDS)
        news = {k: cli_new_version(progs, base, root, k, files) for k in kinds}
        for kind, (new, _) in news.items():
            if new == old:
                failures.append(f"{kind} changed nothing on a copy")

        def record(kind, folder, exited_before, new):
            torn, leftovers, where, recovered = judge(progs, folder, old, new)
            t = totals[kind]
            t["trials"] += 1
            t[where] += 1
            t["ended before the kill"] += exited_before
            t["temporary files left"] += len(leftovers)
            t["torn files"] += len(torn)
            if not recovered:
                failures.append(f"{kind}: init after the kill did not recover {folder}")
            torn_files.extend(f"{kind} {folder.name}: {t}" for t in torn)
            if not args.keep:
                shutil.rmtree(folder, ignore_errors=True)

        for n in range(args.cli_trials):
            kind = kinds[n % len(kinds)]
            new, took = news[kind]
            # Uniform over the whole run and a little past it.
            delay = rng.uniform(0, took * 1.1)
            try:
                folder, exited = cli_trial(progs, base, root, n, kind, files, delay)
                record(kind, folder, exited, new)
            except subprocess.TimeoutExpired:
                totals[kind]["hangs"] += 1
                failures.append(f"{kind} trial {n}: a program did not end")

        if args.window_trials:
            wnew = window_new_version(progs, base, root)
            if wnew == old:
                failures.append("the window's save changed nothing")
            offsets = [rng.random() for _ in range(args.window_trials)]
            with concurrent.futures.ThreadPoolExecutor(args.parallel) as pool:
                futures = {pool.submit(window_trial, progs, base, root, args.cli_trials + i, offsets[i]): i
                           for i in range(args.window_trials)}
                for fut in concurrent.futures.as_completed(futures):
                    try:
                        folder, exited = fut.result()
                        record("window save", folder, exited, wnew)
                    except (RuntimeError, subprocess.TimeoutExpired) as e:
                        totals["window save"]["hangs"] += 1
                        failures.append(f"window trial {futures[fut]}: {e}")

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

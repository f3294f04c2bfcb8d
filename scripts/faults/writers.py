#!/usr/bin/env python3
"""Lost updates: tarvikctl writers started all at once on one data folder.

Each round starts 30 writers together: an assign for each of buttons 2-6 of
every slot (a rapid-fire function with numbers of its own) and a rename of
every slot. Their targets are distinct, so the folder must end as the same
commands leave it when they run one after the other. A writer whose change is
missing at the end is a lost update; a writer that did not end within its
deadline is a hang.

With --window the same writers run while a `tarvik --hid sim` window (offscreen)
holds the data folder: they hand their changes to the window, which sends and
saves them later; the window is then ended with SIGTERM, and the folder must
hold every change. This is the lost update a window's later save would cause.

Exit status 0 when no update was lost, every writer succeeded and none hung."""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import time

import faultlib as fl

WRITER_DEADLINE = 60  # s; each writer waits up to its lock timeout of 30 s


def commands(round_no):
    out = []
    for slot in range(5):
        for button in range(2, 7):
            n = 5 + (round_no * 31 + slot * 5 + button) % 250
            out.append((("slot", slot, "button", button),
                        ["--lock-timeout", "30", "assign", "--slot", str(slot), "--button", str(button),
                         "fire", str(n), str(slot * 10 + button)]))
        out.append((("slot", slot, "name"),
                    ["--lock-timeout", "30", "profile", "rename", str(slot), f"R{round_no}-{slot}"]))
    return out


def target_value(state, target):
    profile = state["Profiles"][target[1]]
    if target[2] == "button":
        return profile["Keys"][target[3] - 1]
    return profile["Settings"]


def show_all(progs, data):
    r = fl.ctl(progs, data, "show", "--all", "--json", check=True)
    return json.loads(r.stdout)


def prepare(progs, data):
    fl.init_folder(progs, data)
    # Every slot shown, so every one can be renamed.
    for i in range(4):
        fl.ctl(progs, data, "profile", "add", f"P{i + 1}")


def start_window(progs, data, runtime):
    """A window on the data folder, its instance socket in a runtime folder of
    its own; returns once it serves commands."""
    env = fl.base_env()
    env["XDG_RUNTIME_DIR"] = str(runtime)
    win = subprocess.Popen([str(progs.window), "--hid", "sim", "--data-dir", str(data)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    if not fl.wait_for(lambda: any(runtime.glob("tarvik-*.sock")) or win.poll() is not None, 20):
        win.kill()
        raise RuntimeError("the window never listened")
    if win.poll() is not None:
        raise RuntimeError(f"the window ended at start with {win.returncode}")
    return win, env


def stop_window(win):
    win.send_signal(signal.SIGTERM)
    try:
        return win.wait(timeout=20)
    except subprocess.TimeoutExpired:
        win.kill()
        win.wait()
        return None


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    ap.add_argument("--rounds", type=int, default=20)
    ap.add_argument("--window", action="store_true", help="the writers run beside a running window")
    args = ap.parse_args()
    progs = fl.Programs(args.build, ("ctl", "window") if args.window else ("ctl",))

    writes = lost = hangs = failed = 0
    started = time.monotonic()
    with fl.TempRoot() as root:
        for round_no in range(args.rounds):
            data, reference = root / f"r{round_no}", root / f"r{round_no}-ref"
            # Made alike, not copied: config.ini holds paths inside its own folder.
            prepare(progs, data)
            prepare(progs, reference)
            cmds = commands(round_no)
            for _, c in cmds:
                fl.ctl(progs, reference, *c, check=True)
            expected = show_all(progs, reference)

            win, env = None, fl.base_env()
            if args.window:
                runtime = root / f"run{round_no}"
                runtime.mkdir(mode=0o700)
                win, env = start_window(progs, data, runtime)
            procs = [subprocess.Popen([str(progs.ctl), "--data-dir", str(data), *c], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.PIPE, env=env) for _, c in cmds]
            for (target, c), p in zip(cmds, procs):
                writes += 1
                try:
                    _, err = p.communicate(timeout=WRITER_DEADLINE)
                    if p.returncode != 0:
                        failed += 1
                        print(f"FAULT: {' '.join(c)} exited {p.returncode}: {err.decode(errors='replace')}")
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
                    hangs += 1
                    print(f"FAULT: {' '.join(c)} did not end")
            if win is not None:
                code = stop_window(win)
                if code != 0:
                    hangs += code is None
                    failed += code is not None
                    print(f"FAULT: the window ended with {code if code is not None else 'no end within 20 s'}")
            got = show_all(progs, data)
            for target, c in cmds:
                if target_value(got, target) != target_value(expected, target):
                    lost += 1
                    print(f"FAULT: lost update: {' '.join(c)}")
            shutil.rmtree(data, ignore_errors=True)
            shutil.rmtree(reference, ignore_errors=True)
    print(f"{'beside a window | ' if args.window else ''}rounds {args.rounds} | concurrent writes {writes} | lost updates {lost} | failed {failed} | "
          f"hangs {hangs} | took {time.monotonic() - started:.0f} s")
    return 1 if lost or hangs or failed else 0


if __name__ == "__main__":
    sys.exit(main())

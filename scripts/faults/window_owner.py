#!/usr/bin/env python3
"""The window owns its data folder: changes beside a running window.

A `tarvik --hid sim` window (offscreen) runs on a data folder and tarvikctl
changes it in four ways; every change answered with exit 0 must be on disk
at that moment and stay there, and every exit 1 must have changed nothing.

  readers   reader loops (show, export, macro list) run all the time while
            forwarded renames and assigns are made one after the other; each
            answered change must be in the file when tarvikctl exits, and the
            window, ended with SIGTERM while the readers still run, must exit 0
            with every change kept.
  runtime   the changes come from tarvikctl runs with another XDG_RUNTIME_DIR
            and with none at all (cron, ssh -T, su); a second window started
            with another runtime folder must not start beside the first.
  kill      the window is killed (SIGKILL) 0-50 ms after each changing command
            answered exit 0; the change must be in the files.
  fds       the window runs with few file descriptors (prlimit); hundreds of idle
            connections are held and closed; the window must still take a
            change, bring itself up for a second start, and its memory stay bounded.

Exit status 0 when nothing answered was lost, no exit 1 changed anything, and
nothing hung."""

import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
from pathlib import Path

import faultlib as fl

DEADLINE = 60


def owner_socket(data):
    """The socket the owner record in the folder's lock file names."""
    try:
        lines = (Path(data) / "config" / fl.LOCK_NAME).read_text().split("\n")
    except OSError:
        return None
    return lines[2] if len(lines) >= 3 and lines[2] else None


def start_window(progs, data, runtime, prefix=()):
    env = fl.base_env()
    env["XDG_RUNTIME_DIR"] = str(runtime)
    win = subprocess.Popen([*prefix, str(progs.window), "--hid", "sim", "--data-dir", str(data)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)

    def ready():
        sock = owner_socket(data)
        return win.poll() is not None or (sock is not None and Path(sock).exists())

    if not fl.wait_for(ready, 30) or win.poll() is not None:
        win.kill()
        raise RuntimeError(f"the window did not start ({win.poll()})")
    return win


def stop_window(win, sig=signal.SIGTERM):
    win.send_signal(sig)
    try:
        return win.wait(timeout=30)
    except subprocess.TimeoutExpired:
        win.kill()
        win.wait()
        return None


def show_all(progs, data):
    r = fl.ctl(progs, data, "show", "--all", "--json", timeout=DEADLINE)
    return json.loads(r.stdout) if r.returncode == 0 else None


def name_of(state, slot):
    return state["Profiles"][slot]["Settings"][0]["value"] if state else None


def prepare(progs, data):
    fl.init_folder(progs, data)
    for i in range(4):
        fl.ctl(progs, data, "profile", "add", f"P{i + 1}")  # until every slot is shown


class Tally:
    def __init__(self):
        self.answered = self.lost = self.failed = self.hangs = self.refused_but_changed = 0

    def fault(self, what):
        print(f"FAULT: {what}")


def change(progs, data, env, args, tally):
    try:
        r = subprocess.run([str(progs.ctl), "--data-dir", str(data), *args], capture_output=True,
                           timeout=DEADLINE, env=env)
    except subprocess.TimeoutExpired:
        tally.hangs += 1
        tally.fault(f"{' '.join(args)} did not end")
        return None
    if r.returncode != 0:
        tally.failed += 1
        tally.fault(f"{' '.join(args)} exited {r.returncode}: {r.stderr.decode(errors='replace').strip()}")
    else:
        tally.answered += 1
    return r.returncode


def campaign_readers(progs, root, rounds, changes, readers, tally):
    for round_no in range(rounds):
        data = root / f"readers{round_no}"
        runtime = root / f"readers{round_no}-run"
        runtime.mkdir(mode=0o700)
        prepare(progs, data)
        win = start_window(progs, data, runtime)
        env = fl.base_env()
        env["XDG_RUNTIME_DIR"] = str(runtime)
        out = root / f"export{round_no}.psf"
        loops = []
        for i in range(readers):
            words = [["show"], ["export", "--slot", "1", str(out) + str(i)], ["macro", "list"]][i % 3]
            script = f'while :; do "{progs.ctl}" --data-dir "{data}" {" ".join(words)} >/dev/null 2>&1; done'
            loops.append(subprocess.Popen(["bash", "-c", script], env=env, start_new_session=True))
        expected = {}
        for i in range(changes):
            slot = i % 5
            name = f"N{round_no}-{i}"
            if change(progs, data, env, ["profile", "rename", str(slot), name], tally) == 0:
                expected[slot] = name
                # Done means on disk: the file holds it now.
                if name_of(show_all(progs, data), slot) != name:
                    tally.lost += 1
                    tally.fault(f"rename {slot} {name} answered but not in the file")
            change(progs, data, env, ["assign", "--slot", str(slot), "--button", str(2 + i % 5),
                                      "fire", str(10 + i % 200), "5"], tally)
        code = stop_window(win)
        for p in loops:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            p.wait()
        if code != 0:
            tally.failed += 1
            tally.fault(f"the window ended with {code}: {win.stderr.read().decode(errors='replace')}")
        got = show_all(progs, data)
        for slot, name in expected.items():
            if name_of(got, slot) != name:
                tally.lost += 1
                tally.fault(f"slot {slot}: {name} lost after SIGTERM")
        shutil.rmtree(data, ignore_errors=True)


def campaign_runtime(progs, root, rounds, tally):
    for round_no in range(rounds):
        data = root / f"runtime{round_no}"
        runtime = root / f"runtime{round_no}-run"
        other = root / f"runtime{round_no}-other"
        runtime.mkdir(mode=0o700)
        other.mkdir(mode=0o700)
        prepare(progs, data)
        win = start_window(progs, data, runtime)
        expected = {}
        for i, env_kind in enumerate(["none", "other", "none", "other", "none"]):
            env = fl.base_env()
            if env_kind == "none":
                env.pop("XDG_RUNTIME_DIR", None)
            else:
                env["XDG_RUNTIME_DIR"] = str(other)
            name = f"E{round_no}-{i}-{env_kind}"
            if change(progs, data, env, ["profile", "rename", str(i), name], tally) == 0:
                expected[i] = name
        # A second window with another runtime folder: it brings the first up and ends.
        env = fl.base_env()
        env["XDG_RUNTIME_DIR"] = str(other)
        try:
            second = subprocess.run([str(progs.window), "--hid", "sim", "--data-dir", str(data)],
                                    capture_output=True, timeout=DEADLINE, env=env)
            if second.returncode != 0:
                tally.failed += 1
                tally.fault(f"a second window exited {second.returncode}")
        except subprocess.TimeoutExpired:
            tally.hangs += 1
            tally.fault("a second window started beside the first")
        if win.poll() is not None:
            tally.fault("the first window ended")
        code = stop_window(win)
        if code != 0:
            tally.failed += 1
            tally.fault(f"the window ended with {code}")
        got = show_all(progs, data)
        for slot, name in expected.items():
            if name_of(got, slot) != name:
                tally.lost += 1
                tally.fault(f"slot {slot}: {name} lost")
        shutil.rmtree(data, ignore_errors=True)


def campaign_kill(progs, root, rounds, rng, tally):
    for round_no in range(rounds):
        data = root / f"kill{round_no}"
        reference = root / f"kill{round_no}-ref"
        runtime = root / f"kill{round_no}-run"
        runtime.mkdir(mode=0o700)
        prepare(progs, data)
        prepare(progs, reference)
        slot, button = round_no % 5, 2 + round_no % 5
        # Each command with the part of the state it changes.
        args, part = [
            (["profile", "rename", str(slot), f"K{round_no}"], lambda s: name_of(s, slot)),
            (["assign", "--slot", str(slot), "--button", str(button), "fire", str(20 + round_no % 200), "7"],
             lambda s: s["Profiles"][slot]["Keys"][button - 1]["Action"]),
            (["profile", "select", str((round_no + 1) % 5)], lambda s: s["CurrentProfile"]),
            (["profile", "delete", str(1 + round_no % 4)], lambda s: s["ShowList"][:s["ShowCount"]]),
        ][round_no % 4]
        fl.ctl(progs, reference, *args, check=True)
        expected = part(show_all(progs, reference))
        win = start_window(progs, data, runtime)
        env = fl.base_env()
        env["XDG_RUNTIME_DIR"] = str(runtime)
        code = change(progs, data, env, args, tally)
        time.sleep(rng.uniform(0, 0.05))
        win.kill()
        win.wait()
        got = part(show_all(progs, data))
        if code == 0 and got != expected:
            tally.lost += 1
            tally.fault(f"{' '.join(args)}: answered, then lost to a kill ({got!r}, not {expected!r})")
        shutil.rmtree(data, ignore_errors=True)
        shutil.rmtree(reference, ignore_errors=True)


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def campaign_fds(progs, root, idle, waves, tally):
    data = root / "fds"
    runtime = root / "fds-run"
    runtime.mkdir(mode=0o700)
    prepare(progs, data)
    win = start_window(progs, data, runtime, prefix=("prlimit", "--nofile=256:256"))
    env = fl.base_env()
    env["XDG_RUNTIME_DIR"] = str(runtime)
    sock_path = owner_socket(data)
    rss_start = rss_kib(win.pid)
    clients = 0
    for wave in range(waves):
        held = []
        for _ in range(idle):
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.setblocking(False)
            try:
                s.connect(sock_path)
            except (BlockingIOError, ConnectionRefusedError, FileNotFoundError, OSError):
                pass
            held.append(s)
            clients += 1
        time.sleep(0.3)
        for s in held:
            s.close()
        # Between the waves the window still takes a change.
        if change(progs, data, env, ["profile", "rename", "1", f"F{wave}"], tally) == 0:
            if name_of(show_all(progs, data), 1) != f"F{wave}":
                tally.lost += 1
                tally.fault(f"F{wave} answered but not in the file")
    second = subprocess.run([str(progs.window), "--hid", "sim", "--data-dir", str(data)],
                            capture_output=True, timeout=DEADLINE, env=env)
    if second.returncode != 0:
        tally.failed += 1
        tally.fault(f"a second start after the idle clients exited {second.returncode}")
    rss_end = rss_kib(win.pid)
    code = stop_window(win)
    if code != 0:
        tally.failed += 1
        tally.fault(f"the window ended with {code}")
    print(f"fds: {clients} idle clients in {waves} waves under nofile=256, window RSS {rss_start // 1024} MB -> "
          f"{rss_end // 1024} MB")
    if rss_end > rss_start + 40 * 1024:
        tally.fault("the window's memory grew with idle clients")
        tally.failed += 1


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    ap.add_argument("--rounds", type=int, default=4, help="rounds of the readers and runtime campaigns")
    ap.add_argument("--changes", type=int, default=40, help="changes per readers round")
    ap.add_argument("--readers", type=int, default=4)
    ap.add_argument("--kills", type=int, default=100)
    ap.add_argument("--idle", type=int, default=400, help="idle connections per wave")
    ap.add_argument("--waves", type=int, default=20)
    ap.add_argument("--seed", type=int)
    args = ap.parse_args()
    progs = fl.Programs(args.build, ("ctl", "window"))
    rng = fl.seeded(args.seed)
    started = time.monotonic()
    results = {}
    with fl.TempRoot() as root:
        for name, run in (("readers", lambda t: campaign_readers(progs, root, args.rounds, args.changes,
                                                                  args.readers, t)),
                          ("runtime", lambda t: campaign_runtime(progs, root, args.rounds, t)),
                          ("kill", lambda t: campaign_kill(progs, root, args.kills, rng, t)),
                          ("fds", lambda t: campaign_fds(progs, root, args.idle, args.waves, t))):
            tally = Tally()
            run(tally)
            results[name] = tally
            print(f"{name}: answered {tally.answered} | lost {tally.lost} | failed {tally.failed} | "
                  f"hangs {tally.hangs}")
    bad = sum(t.lost + t.failed + t.hangs for t in results.values())
    print(f"window owner | took {time.monotonic() - started:.0f} s | "
          f"{'no fault' if not bad else f'{bad} faults'}")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())

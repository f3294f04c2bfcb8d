"""Shared pieces of the fault campaigns: where the built programs are, running
them with a deadline, data folders made from scratch, snapshots of a folder's
bytes and the checks every campaign applies to config/."""

import json
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
LIBRARY_TEXT = ROOT / "tests" / "macro" / "data" / "library.mlf.txt"

# Files whose contents the programs check when asked; the language files are
# only read, so for them the bytes alone must stay.
CHECKED_SUFFIXES = {".psf", ".ini", ".mlf", ".mkf", ".mbf"}
READ_ONLY_NAMES = {"LanSetting.ini", "Lan.txt", "Lan_EN.txt"}
LOCK_NAME = "tarvik.lock"


class Programs:
    def __init__(self, build, needs=("ctl", "window", "sim")):
        bin_dir = Path(build).resolve() / "bin"
        self.ctl = bin_dir / "tarvikctl"
        self.window = bin_dir / "tarvik"
        self.sim = bin_dir / "tarvik-mousesim"
        for p in (getattr(self, n) for n in needs):
            if not p.exists():
                sys.exit(f"{p} is missing: build the programs first")


def base_env():
    env = dict(os.environ)
    env["QT_QPA_PLATFORM"] = "offscreen"
    for var in ("TARVIK_DATA_DIR", "TARVIK_HID", "TARVIK_TRACE"):
        env.pop(var, None)
    return env


def run(args, timeout=30, env=None, check=False):
    """Runs a program to its end; a run past the deadline is a hang and raises."""
    r = subprocess.run([str(a) for a in args], capture_output=True, timeout=timeout,
                       env=env or base_env())
    if check and r.returncode != 0:
        raise RuntimeError(f"{' '.join(map(str, args))} exited {r.returncode}: "
                           f"{r.stderr.decode(errors='replace')}")
    return r


def ctl(progs, data, *args, timeout=30, check=False, env=None):
    return run([progs.ctl, "--data-dir", data, *args], timeout=timeout, check=check, env=env)


def init_folder(progs, data):
    """A data folder as an installed program starts with: the start-up load's
    files, and the shipped language files in config/."""
    ctl(progs, data, "init", check=True)
    for f in (ROOT / "data" / "lang").iterdir():
        shutil.copyfile(f, Path(data) / "config" / f.name)


def write_utf16(path, text):
    Path(path).write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))


def snapshot(folder):
    """Every regular file below `folder`, by relative path, with its bytes;
    links are recorded by where they point."""
    out = {}
    folder = Path(folder)
    if not folder.exists():
        return out
    for p in sorted(folder.rglob("*")):
        rel = str(p.relative_to(folder))
        if p.is_symlink():
            out[rel] = ("link", os.readlink(p))
        elif p.is_file():
            out[rel] = p.read_bytes()
    return out


def is_temporary(name):
    """Temporary files a killed save leaves behind (<name>.tmp<pid>-<n>, <name>.bak.tmp)."""
    return ".tmp" in name


def check_file(progs, path):
    """None when `tarvikctl check` accepts the file, else its answer."""
    r = run([progs.ctl, "check", path], timeout=30)
    if r.returncode == 0:
        return None
    return (r.stdout + r.stderr).decode(errors="replace").strip()


def classify_config(progs, config, old, new):
    """Compares config/ after a fault with the bytes before it (`old`) and after
    the same command ran to completion (`new`). Returns (torn, leftovers,
    states): torn lists the files that are neither version or fail the check,
    leftovers the temporary files left behind, states maps each file to "old",
    "new" or "same" (old and new are equal)."""
    torn, leftovers, states = [], [], {}
    now = snapshot(config)
    for name in sorted(set(now) | set(old) | set(new)):
        if name == LOCK_NAME:
            continue
        if is_temporary(name):
            if name in now:
                leftovers.append(name)
            continue
        have = now.get(name)
        o, n = old.get(name), new.get(name)
        if have == o and have == n:
            states[name] = "same"
        elif have == o:
            states[name] = "old"
        elif have == n:
            states[name] = "new"
        else:
            torn.append(f"{name}: neither the old nor the new version")
            continue
        if have is not None and Path(name).suffix.lower() in CHECKED_SUFFIXES \
                and name not in READ_ONLY_NAMES:
            why = check_file(progs, Path(config) / name)
            if why:
                torn.append(f"{name}: check says {why}")
    return torn, leftovers, states


class TempRoot:
    """A private folder for one campaign, removed at the end unless kept."""

    def __init__(self, keep=False):
        self.path = Path(tempfile.mkdtemp(prefix="tarvik-faults-"))
        self.keep = keep

    def __enter__(self):
        return self.path

    def __exit__(self, *exc):
        if not self.keep:
            shutil.rmtree(self.path, ignore_errors=True)


class MouseSim:
    """A tarvik-mousesim daemon on a socket of its own."""

    def __init__(self, progs, sock):
        self.progs = progs
        self.sock = str(sock)
        self.proc = subprocess.Popen([str(progs.sim), "--socket", self.sock],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                     env=base_env())
        # Ready once a connection is accepted (the file appears before the daemon listens).
        deadline = time.monotonic() + 10
        while True:
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("tarvik-mousesim did not start")
            try:
                with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe:
                    probe.connect(self.sock)
                break
            except (FileNotFoundError, ConnectionRefusedError, BlockingIOError):
                time.sleep(0.01)

    def ctl(self, *args, timeout=10):
        return run([self.progs.sim, "ctl", "--socket", self.sock, *args], timeout=timeout)

    def dump(self):
        r = self.ctl("dump", "--json")
        if r.returncode != 0:
            raise RuntimeError("dump failed: " + r.stderr.decode(errors="replace"))
        return json.loads(r.stdout)

    def rss_kib(self):
        with open(f"/proc/{self.proc.pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def alive(self):
        return self.proc.poll() is None

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        return self.proc.returncode

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()


def wait_for(predicate, timeout, step=0.005):
    """Polls `predicate` until it holds; False after `timeout` seconds (a safety net)."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def seeded(seed):
    if seed is None:
        seed = random.SystemRandom().randrange(1 << 30)
    print(f"seed {seed}")
    return random.Random(seed)


# ---- the simulator's wire protocol (docs/mousesim-protocol.md), just enough to drive it

def frame(msg_type, body=b""):
    return (1 + len(body)).to_bytes(4, "little") + bytes([msg_type]) + body


class SimClient:
    """One connection to tarvik-mousesim that sends requests and waits for their replies."""

    def __init__(self, sock_path, timeout=5.0):
        deadline = time.monotonic() + 3
        while True:
            self.s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            self.s.settimeout(timeout)
            try:
                self.s.connect(str(sock_path))
                break
            except BlockingIOError:  # the daemon's queue of new connections is full
                self.s.close()
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.001)
        self.next_request = 1
        self.buf = b""

    def close(self):
        self.s.close()

    def _read_frame(self):
        while True:
            if len(self.buf) >= 4:
                n = int.from_bytes(self.buf[:4], "little")
                if len(self.buf) >= 4 + n:
                    body, self.buf = self.buf[4:4 + n], self.buf[4 + n:]
                    return body[0], body[1:]
            chunk = self.s.recv(65536)
            if not chunk:
                raise ConnectionError("the daemon closed the connection")
            self.buf += chunk

    def request(self, msg_type, fields=b""):
        """Sends a request and returns (type, fields) of the reply with its number."""
        req = self.next_request
        self.next_request += 1
        self.s.sendall(frame(msg_type, req.to_bytes(4, "little") + fields))
        while True:
            t, body = self._read_frame()
            if t in (0x81, 0x82, 0x84, 0x85, 0x90, 0xFF) and int.from_bytes(body[:4], "little") == req:
                return t, body[4:]

    def control(self, msg_type, code=0):
        """A control request; returns (done, text)."""
        t, body = self.request(msg_type, bytes([code]))
        if t != 0x90:
            raise ConnectionError(f"unexpected reply type {t:#x}")
        n = int.from_bytes(body[1:3], "little")
        return body[0] == 1, body[3:3 + n].decode()

    def dump(self):
        done, text = self.control(0x15, 1)
        if not done:
            raise ConnectionError("dump refused: " + text)
        return json.loads(text)

    def plug(self, identity, plugged):
        return self.control(0x10 if plugged else 0x11, identity)[0]


# What a mouse holds of what it was sent, without the counters that differ from run to run.
HELD_FIELDS = ("dpiPage", "colors", "polling", "lighting", "liftOff", "debounce", "power", "motionWakeup",
               "buttons", "macros")


def held(dump):
    return {k: dump.get(k) for k in HELD_FIELDS}


def long_library_text():
    """The test library with every macro made 50 key clicks long (150 steps, of
    which the mouse gets 100: each delay rides on its key step), 12 chunks each
    when uploaded."""
    out = []
    key = 0x41
    for line in LIBRARY_TEXT.read_text().split("\n"):
        indent = line[:len(line) - len(line.lstrip("\t"))]
        body = line.lstrip("\t")
        if body.startswith("MacroActionNum="):
            line = indent + "MacroActionNum=150"
        elif body.startswith("MacroCommandActionNum="):
            line = indent + "MacroCommandActionNum=100"
        elif body.startswith("AllAction="):
            click = f"{key:02X}000000" + "03000014" + f"{key:02X}800000"
            steps = (click * 50).ljust(336 * 8, "0")
            line = indent + "AllAction=" + steps
            key += 1
        out.append(line)
    return "\n".join(out)

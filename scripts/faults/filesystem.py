#!/usr/bin/env python3
"""The file system in the way: a read-only data folder, a data folder that is
a file, a full disk (a small tmpfs filled to the last page) and a config/
file that is a symbolic link to a file outside the data folder.

Every changing tarvikctl command (import, assign, profile add, macro import)
runs in each of them on a folder of its own, all inside one private tmpfs so
that every byte written anywhere can be seen. Then:

- a folder that cannot be written: the exit status is 1 with one
  "tarvikctl: " line on stderr that says why, and every file is as before;
- the symbolic link: the command succeeds and the file the link points to
  keeps its bytes (nothing is written outside the data folder); a save of
  that profile puts a file of its own in config/ where the link was;
- always: no temporary file is left in config/, nothing outside the data
  folder changes, and every file in config/ passes `tarvikctl check`.

Needs root (it mounts tmpfs file systems). Exit status 0 when every case held."""

import argparse
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

import faultlib as fl

COMMANDS = {
    "import": lambda f: ["import", "--slot", "1", f["psf"]],
    "assign": lambda f: ["assign", "--slot", "1", "--button", "2", "dpi-up"],
    "profile add": lambda f: ["profile", "add", "Extra"],
    "macro import": lambda f: ["macro", "import", f["mkf"], "--into", "Games"],
}


def mount_tmpfs(at, size):
    at.mkdir(parents=True, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0700", "tmpfs", str(at)], check=True)


def umount(at):
    subprocess.run(["umount", "-l", str(at)], check=False)


def make_folder(progs, data):
    """An initialised data folder with the test macro library, made at its own
    path (config.ini holds paths inside it)."""
    fl.init_folder(progs, data)
    fl.write_utf16(data / "config" / "MacroLibraryFile.mlf", fl.LIBRARY_TEXT.read_text())


def prepare_inputs(progs, at):
    """The files the commands read."""
    files = {}
    template = at / "template"
    make_folder(progs, template)
    files["psf"] = at / "import.psf"
    fl.ctl(progs, template, "export", "--slot", "0", files["psf"], check=True)
    files["mkf"] = at / "one.mkf"
    fl.ctl(progs, template, "macro", "export", "--path", "Copy", files["mkf"], check=True)
    return files


def fill(folder):
    """Writes until the file system is full."""
    fd = os.open(folder / "filler", os.O_WRONLY | os.O_CREAT, 0o600)
    try:
        for size in (65536, 4096, 1):
            try:
                while os.write(fd, b"\0" * size):
                    pass
            except OSError:
                pass
    finally:
        os.close(fd)


# name, how the case is made (returns the data folder), whether the command must fail
def case_read_only(ctx):
    mnt = ctx["root"] / "ro"
    mount_tmpfs(mnt, "2m")
    ctx["mounts"].append(mnt)
    make_folder(ctx["progs"], mnt / "data")
    subprocess.run(["mount", "-o", "remount,ro", str(mnt)], check=True)
    return mnt / "data"


def case_file(ctx):
    data = ctx["root"] / "file-data"
    data.write_text("a regular file, not a folder\n")
    return data


def case_full(ctx):
    mnt = ctx["root"] / "full"
    mount_tmpfs(mnt, "2m")
    ctx["mounts"].append(mnt)
    make_folder(ctx["progs"], mnt / "data")
    fill(mnt)
    return mnt / "data"


def case_link(ctx):
    data = ctx["root"] / "linked"
    make_folder(ctx["progs"], data)
    outside = ctx["root"] / "elsewhere"
    outside.mkdir()
    target = outside / "my-profile.psf"
    shutil.copyfile(data / "config" / "default1.psf", target)
    (data / "config" / "default1.psf").unlink()
    os.symlink(target, data / "config" / "default1.psf")
    return data


def case_damaged_link(ctx):
    """The link names a file that is no profile file (damaged): the start-up
    load keeps a copy and replaces the slot, in config/ only."""
    data = case_link(ctx)
    (ctx["root"] / "elsewhere" / "my-profile.psf").write_bytes(b"\xff\xfenot a profile\n".replace(b"\n", b"\n\0"))
    return data


CASES = [
    ("read-only data folder", case_read_only, True),
    ("data folder that is a file", case_file, True),
    ("full disk", case_full, True),
    ("config/default1.psf a link to a file outside", case_link, False),
    ("config/default1.psf a link to a damaged file outside", case_damaged_link, False),
]


def one(progs, scratch, files, case, command):
    """Runs one command in one case; returns (faults, stderr)."""
    name, make, must_fail = case
    faults = []
    root = scratch / "case"
    mount_tmpfs(root, "64m")
    ctx = {"root": root, "progs": progs, "mounts": []}
    try:
        inputs = {k: root / Path(v).name for k, v in files.items()}
        for k, v in files.items():
            shutil.copyfile(v, inputs[k])
        data = make(ctx)
        before = fl.snapshot(root)
        config = data / "config"
        old = fl.snapshot(config) if config.is_dir() else {}
        r = fl.ctl(progs, data, *COMMANDS[command](inputs))
        err = r.stderr.decode(errors="replace")
        lines = [l for l in err.splitlines() if l.strip()]
        if must_fail:
            if r.returncode != 1:
                faults.append(f"exit {r.returncode}, not 1")
            # The libraries report a file's problem as "tarvik: ...", the command its own as "tarvikctl: ...".
            if not lines or not all(l.startswith(("tarvikctl: ", "tarvik: ")) for l in lines):
                faults.append(f"no clear message: {err!r}")
            if config.is_dir() and fl.snapshot(config) != old:
                faults.append("config/ changed")
        elif r.returncode != 0:
            faults.append(f"exit {r.returncode}: {err!r}")
        after = fl.snapshot(root)
        data_rel = str(data.relative_to(root))
        for path in sorted(set(before) | set(after)):
            inside = path == data_rel or path.startswith(data_rel + "/")
            if not inside and before.get(path) != after.get(path) and not path.startswith(("ro/", "full/filler")):
                faults.append(f"written outside the data folder: {path}")
        if config.is_dir():
            for n in fl.snapshot(config):
                if fl.is_temporary(n):
                    faults.append(f"temporary file left: {n}")
                elif Path(n).suffix in fl.CHECKED_SUFFIXES and n not in fl.READ_ONLY_NAMES:
                    why = fl.check_file(progs, config / n)
                    if why:
                        faults.append(f"{n}: {why}")
        if not must_fail:
            # A command that saved the profiles put a file of its own where the link was.
            kept = (config / "default1.psf").is_symlink()
            err = err.strip() + ("" if not err.strip() else "\n") + \
                ("(the link is kept: the command saved no profile)" if kept else "(the link is now a file in config/)")
        return faults, err.strip()
    finally:
        for m in reversed(ctx["mounts"]):
            umount(m)
        umount(root)
        shutil.rmtree(root, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    args = ap.parse_args()
    if os.geteuid() != 0:
        print("filesystem: needs root to mount tmpfs; skipped")
        return 0
    progs = fl.Programs(args.build, ("ctl",))
    started = time.monotonic()
    faults = []
    runs = 0
    with fl.TempRoot() as scratch:
        files = prepare_inputs(progs, scratch / "inputs")
        for case in CASES:
            for command in COMMANDS:
                runs += 1
                f, err = one(progs, scratch, files, case, command)
                first = err.splitlines()[0] if err else "(nothing on stderr)"
                print(f"{case[0]} | {command} | {'FAULT' if f else 'ok'} | {first}")
                faults += [f"{case[0]}, {command}: {x}" for x in f]
    print(f"cases {runs} | faults {len(faults)} | took {time.monotonic() - started:.0f} s")
    for f in faults:
        print("FAULT:", f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

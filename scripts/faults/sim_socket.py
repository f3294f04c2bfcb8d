#!/usr/bin/env python3
"""The simulator's socket under abuse: garbage, half frames, huge length
prefixes, 200 clients at once, clients that never read, abrupt disconnects.

After every attack a well-behaved client must be answered (a Dump) within its
deadline and the daemon must still run. The daemon's resident memory (VmRSS
from /proc) is sampled before, during and after; after the attacks it may
exceed the starting figure by at most --rss-growth-kib.

Exit status 0 when the daemon kept serving and its memory stayed within the bound."""

import argparse
import random
import socket
import struct
import sys
import threading
import time

import faultlib as fl

SERVE_DEADLINE = 5.0  # s for a well-behaved request after an attack


def connect(path, timeout=5.0):
    """Connects, waiting while the daemon's queue of new connections is full
    (as the program's own clients do, for up to 3 s)."""
    deadline = time.monotonic() + 3
    while True:
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.settimeout(timeout)
        try:
            s.connect(path)
            return s
        except BlockingIOError:
            s.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.001)


def abrupt_close(s):
    # SO_LINGER 0: the connection is reset, not closed in order.
    s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    s.close()


def garbage(path, rng, rounds):
    for _ in range(rounds):
        s = connect(path)
        try:
            s.sendall(rng.randbytes(rng.randint(1, 8192)))
        except OSError:
            pass  # the daemon may close a connection that does not speak its protocol
        s.close()


def half_frames(path, rng, rounds):
    for _ in range(rounds):
        s = connect(path)
        body = bytes([0x15]) + rng.randbytes(rng.randint(0, 65535))
        whole = len(body).to_bytes(4, "little") + body
        try:
            s.sendall(whole[:rng.randint(1, len(whole) - 1)])
        except OSError:
            pass
        (abrupt_close if rng.random() < 0.5 else socket.socket.close)(s)


def huge_prefixes(path, rng, rounds):
    refused = 0
    for i in range(rounds):
        s = connect(path)
        n = [0, 65537, 0x7FFFFFFF, 0xFFFFFFFF, rng.randint(65537, 0xFFFFFFFF)][i % 5]
        try:
            s.sendall(n.to_bytes(4, "little") + b"\x15" * 64)
            # The daemon answers Error and closes.
            data = b""
            while True:
                chunk = s.recv(4096)
                if not chunk:
                    break
                data += chunk
            if len(data) >= 5 and data[4] == 0xFF:
                refused += 1
        except OSError:
            refused += 1  # reset before the answer was read
        s.close()
    return refused


def many_clients(path, count):
    """`count` clients connect at once and each asks for the interfaces."""
    served, closed, failed = [], [], []
    barrier = threading.Barrier(count)

    def one():
        try:
            c = fl.SimClient(path, timeout=10)
        except OSError as e:
            failed.append(str(e))
            return
        try:
            barrier.wait(timeout=30)
            t, _ = c.request(0x01)
            (served if t == 0x81 else failed).append(t)
        except (ConnectionError, ConnectionResetError, BrokenPipeError):
            closed.append(1)  # over the daemon's limit of clients: closed at once
        except (OSError, threading.BrokenBarrierError) as e:
            failed.append(str(e))
        finally:
            c.close()

    threads = [threading.Thread(target=one) for _ in range(count)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=60)
    return len(served), len(closed), len(failed) + sum(t.is_alive() for t in threads)


def never_read(path, clients):
    """Clients that open the input interface and ask for large dumps without
    reading a byte; the daemon must drop them once their unread replies pass
    its limit. Returns how many it dropped."""
    socks = []
    for _ in range(clients):
        s = connect(path, timeout=0.5)
        socks.append(s)
    dropped = 0
    request = fl.frame(0x15, (7).to_bytes(4, "little") + b"\x01")
    for s in socks:
        sent = 0
        try:
            # 4 MiB of replies is some 3,000 JSON dumps; the requests are 10 bytes each.
            for _ in range(20000):
                s.sendall(request)
                sent += 1
        except (BrokenPipeError, ConnectionResetError):
            dropped += 1
        except socket.timeout:
            pass  # the daemon stopped reading this client: its queue is full
    return socks, dropped


def abrupt_disconnects(path, rng, rounds):
    for _ in range(rounds):
        s = connect(path)
        try:
            # Open an interface, then go in the middle of the next request.
            s.sendall(fl.frame(0x02, (1).to_bytes(4, "little") + len(b"sim:A:input").to_bytes(2, "little")
                               + b"sim:A:input"))
            s.sendall(fl.frame(0x15, (2).to_bytes(4, "little") + b"\x01")[:rng.randint(1, 5)])
        except OSError:
            pass
        abrupt_close(s)


def handle_flood(path, opens, sample):
    """One client that opens the input interface over and over without closing
    a handle (reading every reply). Returns how many opens were granted."""
    c = fl.SimClient(path, timeout=10)
    path_field = len(b"sim:A:input").to_bytes(2, "little") + b"sim:A:input"
    granted = 0
    batch = 1000
    try:
        for start in range(0, opens, batch):
            n = min(batch, opens - start)
            c.s.sendall(b"".join(fl.frame(0x02, (start + i + 1).to_bytes(4, "little") + path_field)
                                 for i in range(n)))
            for _ in range(n):
                t, body = c._read_frame()
                if t == 0x82 and int.from_bytes(body[4:8], "little") != 0:
                    granted += 1
        held_rss = sample()
    finally:
        c.close()
    return granted, held_rss


def still_serving(sim):
    c = fl.SimClient(sim.sock, timeout=SERVE_DEADLINE)
    try:
        return c.dump()["plugged"] == {"A": True, "B": True}
    finally:
        c.close()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build/dev")
    ap.add_argument("--rounds", type=int, default=2000, help="connections per garbage-like attack")
    ap.add_argument("--clients", type=int, default=200)
    ap.add_argument("--silent-clients", type=int, default=64, help="clients that never read")
    ap.add_argument("--opens", type=int, default=200000, help="opens on one connection, never closed")
    ap.add_argument("--rss-growth-kib", type=int, default=8192)
    ap.add_argument("--seed", type=int)
    args = ap.parse_args()
    progs = fl.Programs(args.build, ("sim",))
    rng = fl.seeded(args.seed)
    faults = []
    started = time.monotonic()
    with fl.TempRoot() as root, fl.MouseSim(progs, root / "sim.sock") as sim:
        path = sim.sock
        if not still_serving(sim):
            sys.exit("the daemon does not answer at all")
        rss_start = sim.rss_kib()
        peak = rss_start
        figures = {}

        phase_start = [time.monotonic()]

        def after(name):
            nonlocal peak
            print(f"  {name}: {time.monotonic() - phase_start[0]:.1f} s", flush=True)
            phase_start[0] = time.monotonic()
            peak = max(peak, sim.rss_kib())
            try:
                ok = sim.alive() and still_serving(sim)
            except (OSError, ConnectionError) as e:
                ok = False
                faults.append(f"after {name}: {e}")
            if not ok:
                faults.append(f"after {name}: the daemon no longer serves")
            return ok

        garbage(path, rng, args.rounds)
        after("garbage")
        half_frames(path, rng, args.rounds)
        after("half frames")
        figures["huge length prefixes refused"] = f"{huge_prefixes(path, rng, args.rounds // 4)}/{args.rounds // 4}"
        after("huge length prefixes")
        served, closed, failed = many_clients(path, args.clients)
        figures[f"{args.clients} clients at once"] = f"{served} served, {closed} closed at once, {failed} failed"
        if failed or served == 0:
            faults.append(f"{args.clients} clients: {failed} failed, {served} served")
        after("many clients")
        socks, dropped = never_read(path, args.silent_clients)
        peak = max(peak, sim.rss_kib())
        figures["clients that never read"] = f"{dropped}/{args.silent_clients} dropped by the daemon"
        for s in socks:
            s.close()
        after("clients that never read")
        abrupt_disconnects(path, rng, args.rounds)
        after("abrupt disconnects")
        rss_before_flood = sim.rss_kib()
        granted, held_rss = handle_flood(path, args.opens, sim.rss_kib)
        peak = max(peak, held_rss)
        figures["handles opened on one connection"] = (
            f"{granted} of {args.opens} granted, RSS {rss_before_flood} KiB -> {held_rss} KiB while held")
        if held_rss - rss_before_flood > args.rss_growth_kib:
            faults.append(f"{granted} open handles on one connection took {held_rss - rss_before_flood} KiB")
        after("handle flood")
        # What the daemon keeps once every abuser is gone.
        fl.wait_for(lambda: still_serving(sim), 5, 0.1)
        rss_end = sim.rss_kib()
        if rss_end - rss_start > args.rss_growth_kib:
            faults.append(f"resident memory grew by {rss_end - rss_start} KiB (bound {args.rss_growth_kib} KiB)")
        code = sim.stop()
        if code != 0:
            faults.append(f"the daemon exited {code} on SIGTERM")
    for k, v in figures.items():
        print(f"{k}: {v}")
    print(f"connections {args.rounds * 3 + args.rounds // 4 + args.clients + args.silent_clients} | "
          f"RSS start {rss_start} KiB, peak {peak} KiB, end {rss_end} KiB | faults {len(faults)} | "
          f"took {time.monotonic() - started:.0f} s")
    for f in faults:
        print("FAULT:", f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

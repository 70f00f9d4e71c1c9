"""zephlorctl monitor end to end: between zephlorctl and the simulator with seeded faults, its
records exchange for exchange those of zephlorctl itself; on a tap cable, two pseudo-terminals fed
a recorded exchange with late and crossed replies; in front of zephlor-sim on TCP, one host
connection after another.

    SCRIPT ZEPHLORCTL ZEPHLOR_SIM
"""
import json
import os
import signal
import tempfile
import threading
import time

from tool_checks import (CTL, LIMIT, SIM, check, ctl, end_children, finish, start,
                         wait_until)

# Far beyond what a busy machine delays a reply by, so zephlorctl and the monitor, each with its
# own clock, never judge one reply on either side of the timeout.
TIMEOUT_MS = 2000


class Monitor:
    """zephlorctl monitor with JSON records in a file, once it says it is watching."""

    def __init__(self, folder, *arguments, device=None):
        self.output = os.path.join(folder, f"monitor-{time.monotonic_ns()}.json")
        self.told = []
        self.child = start(CTL, "--timeout", str(TIMEOUT_MS), "--format", "json", "--output",
                           self.output, *(["-d", device] if device else []), "monitor",
                           *arguments)
        self.reader = threading.Thread(
            target=lambda: [self.told.append(l) for l in self.child.stderr], daemon=True)
        self.reader.start()

    def said(self, text):
        found = []
        wait_until(lambda: found.extend(l for l in list(self.told) if text in l) or found, LIMIT)
        return found[0] if found else ""

    def records(self):
        """Ends it as Ctrl-C does; its records and what it said."""
        self.said("watching")
        self.child.send_signal(signal.SIGINT)
        self.child.wait(timeout=LIMIT)
        self.reader.join(timeout=LIMIT)  # all it said, the summary last
        with open(self.output) as file:
            return [json.loads(line) for line in file], "".join(self.told)


def between_matches_zephlorctl(folder):
    simulator = start(SIM, "--pty", "--seed", "11", "--fault", "wrong-value:0.15", "--fault",
                      "garble:0.1", "--fault", "drop:0.05", "--fault", "delay:0.05", "--delay-ms",
                      "3000")
    controller = simulator.stdout.readline().strip()
    monitor = Monitor(folder, "--between", "pty", controller)
    host = monitor.said("the host side is").split()[-1]
    check("the monitor watches", monitor.said("watching") != "", monitor.told)
    polled = ctl("-d", host, "--timeout", str(TIMEOUT_MS), "--format", "json", "poll",
                 "station-level", "1", "2", "3", "thermostat", "1", "2", "1", "--count", "25",
                 "--interval", "0")
    written = ctl("-d", host, "--timeout", str(TIMEOUT_MS), "--format", "json", "write",
                  "switch", "1", "1", "4", "1")
    records, told = monitor.records()
    # zephlorctl's reads in order, each good with its value or failed.
    reads = []
    for line in polled.stdout.splitlines():
        sample = json.loads(line)
        for item in ("station-level 1 2 3", "thermostat 1 2 1"):
            value = sample["values"].get(item)
            reads.append((item, None if value is None else str(value)))
    watched = [(r["item"], r["value"] if r["verdict"] == "good" else None) for r in records
               if r["direction"] == "exchange"]
    check("every request zephlorctl sent is an exchange", len(watched) == len(reads) + 1,
          f"{len(watched)} exchanges for {len(reads)} reads and a write")
    mismatched = [(i, a, b) for i, (a, b) in enumerate(zip(reads, watched)) if a != b]
    check("exchange for exchange, the same items, values and failures", not mismatched,
          mismatched[:5])
    failures = sum(1 for _, value in reads if value is None)
    check("the seeded faults made failures to compare", failures > 0, failures)
    exchanges = [r for r in records if r["direction"] == "exchange"]
    write = exchanges[-1] if exchanges else {}
    confirmed = json.loads(written.stdout.splitlines()[-1]) if written.stdout else {}
    check("the write, as zephlorctl saw it", write.get("item") == "switch 1 1 4" and
          (write.get("verdict") == "good") == (written.returncode == 0), (write, confirmed))
    verdicts = {r["verdict"] for r in records}
    check("late replies are told as such", "late-reply" in verdicts, verdicts)
    check("the summary has each item's reply times", "station-level 1 2 3: reply time median"
          in told and "p99" in told, told)
    print(f"between: {len(records)} records, verdicts {sorted(verdicts)}")
    simulator.terminate()


def tap_tells_late_and_crossed_replies(folder):
    masters, paths = [], []
    for _ in range(2):
        master, slave = os.openpty()
        masters.append(master)
        paths.append(os.ttyname(slave))
    monitor = Monitor(folder, "--tap", *paths)
    monitor.said("watching")
    host, controller = masters

    def exchange(request, reply, wait=0.02):
        if request:
            os.write(host, request)
        time.sleep(wait)  # the recorded exchange's own pace, not a wait for a child
        if reply:
            os.write(controller, reply)
        time.sleep(0.02)

    exchange(b"VGC# 1 2 3\r\n", b"RGC# 1 2 3 75\r\n")
    exchange(b"VGC# 1 2 3\r\n", b"RGC# 1 2 3 75\r\n", wait=(TIMEOUT_MS + 300) / 1000)
    exchange(b"VGH# 1 2 1\r\n", None)
    exchange(b"VGS# 1 1 4\r\n", b"RGH# 1 2 1 21\r\n")
    exchange(None, b"RGS# 1 1 4 1\r\n")
    exchange(b"hello\r\n", None)
    exchange(b"VLC# 1 2 3 42\r\n", b"RLC# 1 2 3 41\r\n")
    records, _ = monitor.records()
    verdicts = [r["verdict"] for r in records]
    expected = ["good", "no-reply", "late-reply", "no-reply-before-next", "another-item",
                "late-reply", "not-a-request", "not-confirmed"]
    check("tap: good, late, crossed, no request, not confirmed", verdicts == expected, verdicts)
    check("tap: the value read", records and records[0]["value"] == "75", records[:1])
    for master in masters:
        os.close(master)


def listen_in_front_of_a_device_server(folder):
    simulator = start(SIM, "--tcp", "0")
    device = simulator.stdout.readline().strip()
    ctl("-d", device, "write", "station-level", "1", "2", "3", "66")
    monitor = Monitor(folder, "--listen", "tcp:127.0.0.1:0", device=device)
    port = monitor.said("listening on tcp:").split("tcp:")[-1].strip()
    read = ctl("-d", f"tcp:{port}", "read", "station-level", "1", "2", "3")
    check("listen: the host reads through it", read.stdout.split()[-1:] == ["66"], read.stdout)
    monitor.said("waiting for the host's next connection")
    wrote = ctl("-d", f"tcp:{port}", "write", "led", "1", "2", "3", "1")
    check("listen: and writes on its next connection", wrote.returncode == 0, wrote.stderr)
    records, _ = monitor.records()
    check("listen: the exchanges are recorded", [(r["item"], r["value"], r["verdict"])
                                                for r in records] ==
          [("station-level 1 2 3", "66", "good"), ("led 1 2 3", "1", "good")], records)
    simulator.terminate()


def main():
    folder = tempfile.mkdtemp(prefix="zephlor-monitor-")
    between_matches_zephlorctl(folder)
    tap_tells_late_and_crossed_replies(folder)
    listen_in_front_of_a_device_server(folder)
    end_children()
    finish()


if __name__ == "__main__":
    main()

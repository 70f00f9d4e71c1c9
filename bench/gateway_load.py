#!/usr/bin/env python3
"""The gateway under load: one zephlor-gateway, LINES lines on one zephlor-sim --tcp, ITEMS items
each polled every PERIOD ms with publish: every-poll, through a private mosquitto on a free
loopback port, read back by mosquitto_sub. After a warm-up it reports, over SECONDS:

  values/s     item values received by the subscriber, per second
  delay        from a sample's time (in its payload) to its arrival at the subscriber, p50 and p99
  cpu/1000     the gateway's CPU time per 1,000 values published
  rss          the gateway's resident memory at the start and end of the window, and its peak
and then how the gateway ended when stopped (0 unless something went wrong).

    gateway_load.py GATEWAY ZEPHLOR_SIM MOSQUITTO MOSQUITTO_SUB [--seconds 300] [--lines 128]
                    [--items 8] [--period 100]
"""
import argparse
import calendar
import os
import socket
import subprocess
import tempfile
import threading
import time

parser = argparse.ArgumentParser()
for name in ("gateway", "sim", "mosquitto", "sub"):
    parser.add_argument(name)
parser.add_argument("--seconds", type=float, default=300)
parser.add_argument("--warm-up", type=float, default=10)
parser.add_argument("--lines", type=int, default=128)
parser.add_argument("--items", type=int, default=8)
parser.add_argument("--period", type=int, default=100)
options = parser.parse_args()
PREFIX = "bench"
TICKS = os.sysconf("SC_CLK_TCK")


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Arrivals:
    """Counts item values and the delay of each, in a histogram of whole milliseconds."""

    def __init__(self, process):
        self.count = 0
        self.delays = [0] * 60001
        self.seconds_of = {}
        self.counting = False
        threading.Thread(target=self.read, args=(process,), daemon=True).start()

    def epoch(self, stamp):  # "2026-12-09T06:49:42.107Z"
        second = self.seconds_of.get(stamp[:19])
        if second is None:
            second = calendar.timegm(time.strptime(stamp[:19], "%Y-%m-%dT%H:%M:%S"))
            self.seconds_of[stamp[:19]] = second
        return second + int(stamp[20:23]) / 1000

    def read(self, process):
        for line in process.stdout:
            arrived, topic, payload = line.split(" ", 2)
            if not self.counting or topic.endswith("/status") or topic.endswith("/metrics"):
                continue
            at = payload.find('"time":"')
            if at < 0:
                continue
            delay = float(arrived) - self.epoch(payload[at + 8:at + 32])
            self.delays[min(60000, max(0, int(delay * 1000)))] += 1
            self.count += 1

    def quantile(self, fraction):
        wanted, seen = fraction * self.count, 0
        for milliseconds, number in enumerate(self.delays):
            seen += number
            if seen >= wanted:
                return milliseconds
        return None


folder = tempfile.mkdtemp()
children = []
try:
    port = free_port()
    with open(os.path.join(folder, "mosquitto.conf"), "w") as file:
        file.write(f"listener {port} 127.0.0.1\nallow_anonymous true\npersistence false\n"
                   "max_queued_messages 100000\n")
    broker = subprocess.Popen([options.mosquitto, "-c", file.name], stderr=subprocess.DEVNULL)
    children.append(broker)
    simulator = subprocess.Popen([options.sim, "--tcp", "0", "--max-clients",
                                  str(options.lines + 8)], stdout=subprocess.PIPE, text=True)
    children.append(simulator)
    device = simulator.stdout.readline().strip()
    items = ["station-level 1 2 {}", "module-level 1 2 3 {}", "led 2 3 {}", "switch 4 5 {}",
             "thermostat 1 1 {}", "contactor-level {}", "station-level 9 9 {}", "led 7 7 {}"]
    config = os.path.join(folder, "gateway.yaml")
    with open(config, "w") as file:
        file.write(f"broker: {{port: {port}, client-id: bench}}\ntopic-prefix: {PREFIX}\n"
                   "publish: every-poll\nlines:\n")
        for line in range(options.lines):
            file.write(f"  - name: line-{line}\n    device: {device}\n    timeout: 1000\n"
                       "    items:\n")
            for item in range(options.items):
                kind = items[item % len(items)].format(line % 256)
                file.write(f"      - {{name: item-{item}, item: {kind}, "
                           f"every: {options.period}}}\n")
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            time.sleep(0.05)
    subscriber = subprocess.Popen([options.sub, "-p", str(port), "-q", "0", "-F", "%U %t %p",
                                   "-t", f"{PREFIX}/#"], stdout=subprocess.PIPE, text=True)
    children.append(subscriber)
    arrivals = Arrivals(subscriber)
    gateway = subprocess.Popen([options.gateway, config])
    children.append(gateway)
    time.sleep(options.warm_up)

    arrivals.counting = True
    began, cpu_began = time.monotonic(), cpu_seconds(gateway.pid)
    rss = [resident_kib(gateway.pid)]
    while time.monotonic() - began < options.seconds and gateway.poll() is None:
        time.sleep(min(10, options.seconds))
        rss.append(resident_kib(gateway.pid))
    arrivals.counting = False
    elapsed, cpu = time.monotonic() - began, cpu_seconds(gateway.pid) - cpu_began
    offered = options.lines * options.items * 1000 / options.period
    print(f"{options.lines} lines x {options.items} items every {options.period} ms "
          f"({offered:.0f} values/s asked), {elapsed:.0f} s measured after {options.warm_up:.0f} s")
    print(f"values/s   {arrivals.count / elapsed:.0f}")
    print(f"delay      p50 {arrivals.quantile(0.5)} ms, p99 {arrivals.quantile(0.99)} ms")
    print(f"cpu/1000   {1000 * cpu / max(1, arrivals.count) * 1000:.1f} ms "
          f"({100 * cpu / elapsed:.0f} % of one core)")
    print(f"rss        {rss[0]} KiB at the start, {rss[-1]} KiB at the end, {max(rss)} KiB peak "
          f"({len(rss)} samples)")
    gateway.terminate()
    print(f"the gateway ended with exit {gateway.wait(timeout=10)}")
finally:
    for child in reversed(children):
        if child.poll() is None:
            child.terminate()
        try:
            child.wait(timeout=10)
        except subprocess.TimeoutExpired:
            child.kill()

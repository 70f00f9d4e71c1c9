#!/usr/bin/env python3
"""The gateway under load: one zephlor-gateway, LINES lines on one zephlor-sim --tcp, ITEMS items
each polled every PERIOD ms with publish: every-poll, through a private mosquitto on a free
loopback port, read back by mosquitto_sub. After a warm-up it reports, over SECONDS:

  values/s     item values received by the subscriber, per second
  delay        from a sample's time (in its payload) to its arrival at the subscriber, p50 and p99
  cpu/1000     the gateway's CPU time per 1,000 values published
  rss          the gateway's resident memory at the start and end of the window, and its peak
  coalesced    values that waited for the broker and were replaced by a newer one (its metrics)
and then how the gateway ended when stopped (0 unless something went wrong). With --stop-lines
16,128,500 it then starts a gateway of each size, waits until every line has published, and
reports the time from SIGTERM to its exit.

    gateway_load.py GATEWAY ZEPHLOR_SIM MOSQUITTO MOSQUITTO_SUB [--seconds 300] [--lines 128]
                    [--items 8] [--period 100] [--stop-lines N,N...]

The overload run asks far more than the gateway can publish:
    gateway_load.py ... --lines 500 --items 8 --period 100 --seconds 60 --stop-lines 16,128,500
"""
import argparse
import calendar
import json
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
parser.add_argument("--stop-lines", default="")
options = parser.parse_args()
stop_lines = [int(n) for n in options.stop_lines.split(",") if n]
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
        self.metrics = None
        self.lines_seen = set()
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
            if topic.endswith("/metrics"):
                self.metrics = payload
                continue
            if topic.count("/") == 2:
                self.lines_seen.add(topic.split("/")[1])
            if not self.counting or topic.endswith("/status"):
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
                                  str(max([options.lines, *stop_lines]) + 8)],
                                 stdout=subprocess.PIPE, text=True)
    children.append(simulator)
    device = simulator.stdout.readline().strip()
    items = ["station-level 1 2 {}", "module-level 1 2 3 {}", "led 2 3 {}", "switch 4 5 {}",
             "thermostat 1 1 {}", "contactor-level {}", "station-level 9 9 {}", "led 7 7 {}"]

    def configuration(lines):
        path = os.path.join(folder, f"gateway-{lines}.yaml")
        with open(path, "w") as file:
            file.write(f"broker: {{port: {port}, client-id: bench-{lines}}}\n"
                       f"topic-prefix: {PREFIX}\nmetrics-every: 1000\npublish: every-poll\nlines:\n")
            for line in range(lines):
                file.write(f"  - name: line-{line}\n    device: {device}\n    timeout: 1000\n"
                           "    items:\n")
                for item in range(options.items):
                    kind = items[item % len(items)].format(line % 256)
                    file.write(f"      - {{name: item-{item}, item: {kind}, "
                               f"every: {options.period}}}\n")
        return path

    config = configuration(options.lines)
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
    if arrivals.metrics:
        print(f"coalesced  {json.loads(arrivals.metrics)['broker']['coalesced']} values")
    gateway.terminate()
    print(f"the gateway ended with exit {gateway.wait(timeout=10)}")
    for lines in stop_lines:
        arrivals.lines_seen = set()
        gateway = subprocess.Popen([options.gateway, configuration(lines)])
        children.append(gateway)
        deadline = time.monotonic() + 120
        while len(arrivals.lines_seen) < lines and time.monotonic() < deadline:
            time.sleep(0.1)
        began = time.monotonic()
        gateway.terminate()
        code = gateway.wait(timeout=60)
        print(f"stop       {lines} lines ({len(arrivals.lines_seen)} publishing): SIGTERM to exit "
              f"{1000 * (time.monotonic() - began):.0f} ms, exit {code}")
finally:
    for child in reversed(children):
        if child.poll() is None:
            child.terminate()
        try:
            child.wait(timeout=10)
        except subprocess.TimeoutExpired:
            child.kill()

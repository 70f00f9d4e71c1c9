#!/usr/bin/env python3
"""zephlor-gateway among peers that misbehave, end to end: a client that left a retained write,
device servers that stream, drop every connection or never answer, a broker link that goes dead
unnoticed or is slow, a name server that never answers, oversized and hostile input, a reload,
and stops in the middle of it all. A private mosquitto, zephlor-sim on TCP, and small Python
peers, all on loopback; every child has a time limit, and every step waits for a sign from the
children, never a fixed sleep. Prints a line per failure and "N passed, M failed".

    hostile_peers_test.py ZEPHLORCTL ZEPHLOR_SIM ZEPHLOR_GATEWAY MOSQUITTO MOSQUITTO_SUB
                          MOSQUITTO_PUB OPENSSL SLOW_LOOKUP_LIBRARY
"""
import contextlib
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading

from gateway_checks import (GATEWAY, PREFIX, Broker, Log, Proxy, Subscriber, gateway_config,
                            publish, run, stop)
from tool_checks import (CTL, LIMIT, SIM, check, ctl, end_children, finish, signal_when_ready,
                         start, wait_until)

SLOW_LOOKUP = sys.argv[8]


def gateway(config, *options, environment=None):
    """The gateway on `config`, its standard error kept in a Log."""
    child = subprocess.Popen([GATEWAY, *options, config], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True, env=environment)
    child.log = Log(child.stderr)
    return child


def simulator(*options):
    """A TCP simulator that logs every exchange; its address and its Log."""
    child = start(SIM, "--tcp", "0", "--log", *options)
    address = child.stdout.readline().strip()
    child.log = Log(child.stderr)
    return child, address


def peer(serve):
    """A device server played by `serve(connection)`, for every connection; its address."""
    listener = socket.create_server(("127.0.0.1", 0))
    accepted = []

    def accept():
        while True:
            connection, _ = listener.accept()
            accepted.append(connection)
            threading.Thread(target=serve, args=(connection,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return f"tcp:127.0.0.1:{listener.getsockname()[1]}", accepted


def streams(connection):
    # In blocks far larger than a discard reads, so the connection's buffer stays full however
    # slowly this thread gets its turn on a busy machine.
    with contextlib.suppress(OSError):
        while True:
            connection.sendall(b"RGC# 9 9 9 1\r\n" * 8192)


def drops(connection):
    connection.close()


def too_long(connection):
    with contextlib.suppress(OSError):
        while connection.recv(256):
            connection.sendall(b"R" + b"x" * 300 + b"\r\n")


def silent(connection):
    with contextlib.suppress(OSError):
        while connection.recv(256):
            pass


def lines_config(folder, broker_port, lines, name="gateway.yaml", broker="", top="",
                 prefix=PREFIX):
    """A configuration of `lines`: (name, device, items as YAML flow mappings, line settings)."""
    path = os.path.join(folder, name)
    with open(path, "w") as file:
        file.write(f"broker: {{port: {broker_port}{broker}}}\ntopic-prefix: {prefix}\n"
                   f"metrics-every: 1000\n{top}lines:\n")
        for line, device, items, *settings in lines:
            file.write(f"  - name: {line}\n    device: {device}\n    timeout: "
                       f"{settings[0] if settings else 300}\n    items:\n")
            for item in items:
                file.write(f"      - {item}\n")
    return path


def item(name, kind="station-level 1 2 3", every=100, writable=True):
    return (f"{{name: {name}, item: {kind}, every: {every}"
            f"{', writable: true' if writable else ''}}}")


# Generous: under a sanitizer on a busy machine a gateway starts and connects slowly.
def value_of(subscriber, line, name, condition, seconds=30, since=0):
    return subscriber.wait(f"{PREFIX}/{line}/{name}", condition, seconds, since)


def result_of(subscriber, line, name, request_id, seconds=30):
    return subscriber.wait(f"{PREFIX}/{line}/{name}/set/result",
                           lambda p: p.get("id") == request_id, seconds)


def set_value(broker, line, name, value, request_id):
    publish(broker, f"{PREFIX}/{line}/{name}/set", json.dumps({"value": value, "id": request_id}))


def peak_memory_kb(pid):
    with open(f"/proc/{pid}/status") as status:
        return next(int(l.split()[1]) for l in status if l.startswith("VmHWM:"))


folder = tempfile.mkdtemp()
try:
    broker = Broker(folder)
    broker_log = Log(broker.process.stderr)
    watch = Subscriber(broker, f"{PREFIX}/#")
    sim, device = simulator()

    # A write left retained on its set topic is answered and never carried out.
    publish(broker, f"{PREFIX}/hall-1/level/set", '{"value": 42, "id": "op-1"}', retain=True)
    first = gateway(lines_config(folder, broker.port, [("hall-1", device, [item("level")])],
                                 "hall.yaml"))
    refused = result_of(watch, "hall-1", "level", "op-1")
    check("a retained write is answered, not carried out", refused is not None and
          "retained" in refused.get("error", "") and not refused["confirmed"] and
          ctl("--device", device, "read", "station-level", "1", "2", "3").stdout ==
          "station-level 1 2 3: 0\n", refused)
    check("and told once in the log", first.log.wait("was not carried out") is not None)
    publish(broker, f"{PREFIX}/hall-1/level/set", "", retain=True)

    # A message far larger than any write is never delivered to the gateway, nor held.
    check("the gateway is up", value_of(watch, "hall-1", "level", lambda p: True) is not None)
    before = peak_memory_kb(first.pid)
    huge = os.path.join(folder, "huge")
    with open(huge, "wb") as file:
        file.write(b"7" * 8_000_000)
    subprocess.run([sys.argv[6], "-p", str(broker.port), "-q", "1", "-t",
                    f"{PREFIX}/hall-1/level/set", "-f", huge], timeout=LIMIT, check=True)
    set_value(broker, "hall-1", "level", 5, "after-huge")
    after = result_of(watch, "hall-1", "level", "after-huge")
    check("an 8 MB set message is not taken", after is not None and after["confirmed"] and
          peak_memory_kb(first.pid) - before < 4000, (after, before, peak_memory_kb(first.pid)))

    # Two gateways with configurations of their own connect with client ids of their own; two
    # that share one say that the other took the connection.
    second = gateway(lines_config(folder, broker.port, [("hall-2", device, [item("led", "led 1 2 3",
                                                                                writable=False)])],
                                  "annex.yaml", prefix="plant/b"))
    host = socket.gethostname()
    check("a client id per configuration",
          broker_log.wait(f"as zephlor-gateway-{host}-hall ") is not None and
          broker_log.wait(f"as zephlor-gateway-{host}-annex ") is not None, broker_log.lines[-5:])
    stop(second)
    mark = len(first.log.lines)
    twin = gateway(lines_config(folder, broker.port, [("hall-3", device, [item("x")])],
                                "twin.yaml", broker=f", client-id: zephlor-gateway-{host}-hall",
                                prefix="plant/c"))
    check("a connection taken over again and again is told", first.log.wait(
        "the same client id", since=mark) is not None, first.log.lines[-3:])
    stop(twin)
    stop(first)

    # Device servers that stream bytes without end, that drop every connection, and whose
    # controller never answers, beside a good line: the good line's writes go on, the others get
    # verdicts and never come up.
    noisy, _ = peer(streams)
    flaky, flaky_connections = peer(drops)
    quiet, _ = peer(silent)
    mixed = gateway(lines_config(folder, broker.port, [
        ("noisy", noisy, [item("level")]), ("flaky", flaky, [item("level")]),
        ("quiet", quiet, [item("level")]), ("calm", device, [item("level")])], "mixed.yaml"))
    quiet_status = watch.wait(f"{PREFIX}/quiet/status", lambda p: True, 30)
    check("a line whose controller never answers is down, and says so",
          quiet_status is not None and quiet_status["state"] == "down" and
          "no-reply" in quiet_status["reason"], quiet_status)
    check("a streaming peer's values are not-silent, never good",
          value_of(watch, "noisy", "level", lambda p: p["quality"] == "not-silent") is not None and
          value_of(watch, "noisy", "level", lambda p: p["quality"] == "good", 0) is None)
    set_value(broker, "noisy", "level", 9, "n1")
    set_value(broker, "calm", "level", 8, "c1")
    noisy_result, calm_result = (result_of(watch, "noisy", "level", "n1"),
                                 result_of(watch, "calm", "level", "c1"))
    check("a write there is not sent, and the other line's is carried out",
          noisy_result is not None and noisy_result["error"].startswith("not sent") and
          calm_result is not None and calm_result["confirmed"], (noisy_result, calm_result))
    check("the peer that drops every connection is tried again",
          wait_until(lambda: len(flaky_connections) >= 4, 20), len(flaky_connections))
    check("it is never up, and told down at 1, 2 and 4 attempts",
          mixed.log.count("line flaky up") == 0 and mixed.log.count("line flaky") <= 3 and
          mixed.log.count("still down after 2 attempts") == 1, mixed.log.lines)
    metrics = watch.wait(f"{PREFIX}/metrics", lambda p: "flaky" in p["lines"])
    check("a line without replies has no reply times in the metrics", metrics is not None and
          metrics["lines"]["flaky"]["reply-ms"]["median"] is None and
          metrics["lines"]["calm"]["reply-ms"]["median"] is not None, metrics)
    stop(mixed)
    long_replies, _ = peer(too_long)
    poll = ctl("--device", long_replies, "--timeout", "300", "poll", "led", "1", "2", "3",
               "--interval", "0", "--count", "2")
    check("zephlorctl counts a reply too long as too long", "(2 too long)" in poll.stderr,
          poll.stderr)
    poll = ctl("--device", noisy, "--timeout", "300", "poll", "led", "1", "2", "3", "--interval",
               "0", "--count", "3")
    check("zephlorctl's poll against a streaming peer ends, and says why", poll.returncode != 0 and
          "not silent" in poll.stderr, poll.stderr)

    # A broker link that goes dead unnoticed, then away: after it comes back, the last message
    # on a value's topic is the latest value, not an older one the library sent again.
    proxy = Proxy(broker.port)
    mark = len(watch.messages)
    linked = gateway(lines_config(folder, proxy.port, [("hall-1", device, [item("level")])],
                                  "linked.yaml"))
    check("values through the link",
          value_of(watch, "hall-1", "level", lambda p: True, since=mark) is not None)
    proxy.holding = True
    ctl("--device", device, "write", "station-level", "1", "2", "3", "11")
    check("a value lost on the dead link", wait_until(lambda: b'"value":11' in proxy.dropped))
    mark = len(linked.log.lines)
    proxy.refusing = True
    proxy.cut()
    check("the loss noticed", linked.log.wait("lost the broker", since=mark) is not None)
    log_mark = len(sim.log.lines)
    ctl("--device", device, "write", "station-level", "1", "2", "3", "22")
    check("a newer value read while away", sim.log.wait("<- RGC# 1 2 3 22", since=log_mark))
    mark = len(watch.messages)
    proxy.holding = proxy.refusing = False
    latest = value_of(watch, "hall-1", "level", lambda p: p["value"] == 22, 30, mark)
    check("the latest value after the link is back", latest is not None, watch.messages[mark:])
    mark = len(watch.messages)
    check("the metrics after it", watch.wait(f"{PREFIX}/metrics", since=mark) is not None)
    fresh = Subscriber(broker, f"{PREFIX}/hall-1/level")
    kept = fresh.wait(f"{PREFIX}/hall-1/level")
    check("is the retained one", kept is not None and kept["value"] == 22, kept)
    stop(fresh.process)
    stop(linked)

    # A broker link slower than the values: what waits coalesces, and a new value still gets
    # through in seconds instead of behind a backlog that grows without end.
    proxy = Proxy(broker.port, rate=8000)
    busy = [(f"busy{n}", "sim", [item(f"i{k}", f"led 1 2 {k}", 10, False) for k in range(8)])
            for n in range(8)]
    slow_link = gateway(lines_config(folder, proxy.port, busy + [("hall-1", device,
                                                                   [item("level")])],
                                     "slow-link.yaml", top="publish: every-poll\n"))
    mark = len(watch.messages)
    check("a saturated link: values coalesce", watch.wait(
        f"{PREFIX}/metrics", lambda p: p.get("broker", {}).get("coalesced", 0) > 1000, 60,
        mark) is not None)
    mark = len(watch.messages)
    ctl("--device", device, "write", "station-level", "1", "2", "3", "33")
    check("a new value gets through in seconds", value_of(
        watch, "hall-1", "level", lambda p: p["value"] == 33, 10, mark) is not None)
    stop(slow_link)

    # Every accepted write gets one result: one that completes while the broker is away gets
    # it once the broker is back; a stop answers the one on the wire and the ones waiting.
    slow_sim, slow = simulator("--fault", "delay", "--delay-ms", "3000")
    proxy = Proxy(broker.port)
    slow_items = [item("a", "station-level 1 2 4", 60000), item("b", "station-level 1 2 5", 60000)]
    patient = gateway(lines_config(folder, proxy.port, [("slow", slow, slow_items, 8000)],
                                   "slow.yaml"))
    check("the slow line comes up",
          watch.wait(f"{PREFIX}/slow/status", lambda p: p["state"] == "up", 30) is not None)
    mark = len(patient.log.lines)
    log_mark = len(slow_sim.log.lines)
    set_value(broker, "slow", "a", 5, "away")
    check("the write is on the wire", slow_sim.log.wait("-> VLC# 1 2 4 5", since=log_mark))
    proxy.refusing = True
    proxy.cut()
    check("the broker lost meanwhile", patient.log.wait("lost the broker", since=mark))
    proxy.refusing = False
    answered = result_of(watch, "slow", "a", "away", 30)
    check("its result once the broker is back", answered is not None and answered["confirmed"],
          answered)
    log_mark = len(slow_sim.log.lines)
    set_value(broker, "slow", "a", 6, "cut-short")
    set_value(broker, "slow", "b", 7, "queued")
    check("a write on the wire at the stop",
          slow_sim.log.wait("-> VLC# 1 2 4 6", since=log_mark) is not None and
          signal_when_ready(patient, signal.SIGTERM))
    patient.communicate(timeout=LIMIT)
    cut, queued = (result_of(watch, "slow", "a", "cut-short"),
                   result_of(watch, "slow", "b", "queued"))
    check("is answered outcome unknown, and the one behind it not sent",
          cut is not None and cut["error"].startswith("outcome unknown") and
          queued is not None and queued["error"].startswith("not sent"), (cut, queued))
    check("the line's status says the gateway stopped", watch.wait(
        f"{PREFIX}/slow/status", lambda p: p["reason"] == "gateway stopped") is not None)
    stop(slow_sim)

    # Many lines stop at once and send nothing after the stop.
    many_sim, many = simulator()
    count = 40
    config = lines_config(folder, 1, [(f"l{n}", many, [item("led", "led 1 2 3", 100, False)])
                                      for n in range(count)], "many.yaml")
    dry = subprocess.Popen([GATEWAY, "--dry-run", config], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
    threading.Timer(LIMIT, dry.kill).start()  # the time limit of a child read to its end
    seen = []
    for line in dry.stdout:
        seen.append(json.loads(line))
        if sum(m["topic"].endswith("/status") and m["payload"].get("state") == "up"
               for m in seen if isinstance(m["payload"], dict)) == count:
            break
    requests_before = many_sim.log.count("-> VLS#")
    signal_when_ready(dry, signal.SIGTERM)
    rest = [json.loads(line) for line in dry.communicate(timeout=LIMIT)[0].splitlines()]
    stopped = [m for m in rest if m["topic"].endswith("/status") and
               isinstance(m["payload"], dict) and m["payload"]["reason"] == "gateway stopped"]
    check("every line says it stopped, and the gateway ends", len(stopped) == count and
          dry.returncode == 0 and rest[-1]["payload"] == "offline", (dry.returncode, rest[-3:]))
    # One request a line may have been under way; the log may lag the wire by a few more.
    check("no requests after the stop but those under way",
          many_sim.log.count("-> VLS#") - requests_before <= 2 * count,
          many_sim.log.count("-> VLS#") - requests_before)

    # A name server that never answers holds up no stop.
    environment = dict(os.environ, LD_PRELOAD=SLOW_LOOKUP,
                       ASAN_OPTIONS=os.environ.get("ASAN_OPTIONS", "") +
                       ":verify_asan_link_order=0")
    lookup = gateway(lines_config(folder, 1, [("far", "tcp:nowhere.invalid:4001",
                                               [item("led", "led 1 2 3", 100, False)])],
                                  "far.yaml"), "--dry-run", environment=environment)
    check("a gateway looking a name up", lookup.log.wait("slow lookup began") is not None and
          signal_when_ready(lookup, signal.SIGTERM))
    with contextlib.suppress(subprocess.TimeoutExpired):
        lookup.wait(timeout=5)
    check("ends at a stop", lookup.returncode == 0, lookup.returncode)
    looking = subprocess.Popen([CTL, "--device", "tcp:nowhere.invalid:4001", "read", "led", "1",
                                "2", "3"], stderr=subprocess.PIPE, text=True, env=environment)
    looking.log = Log(looking.stderr)
    check("so does zephlorctl", looking.log.wait("slow lookup began") is not None and
          signal_when_ready(looking, signal.SIGINT))
    with contextlib.suppress(subprocess.TimeoutExpired):
        looking.wait(timeout=5)
    check("with the signal's status", looking.returncode == 130, looking.returncode)
    for child in (lookup, looking):
        if child.poll() is None:
            child.kill()

    # Input that would take without bound is refused: aliases that multiply lines by items,
    # and a password file without end.
    bomb = os.path.join(folder, "bomb.yaml")
    with open(bomb, "w") as file:
        file.write("topic-prefix: x\nitems: &i\n" +
                   "".join(f"  - {{name: i{n}, item: led 1 2 3, every: 5}}\n" for n in range(900)) +
                   "lines:\n" + "".join(f"  - {{name: l{n}, device: sim, items: *i}}\n"
                                         for n in range(900)))
    refused = run("--check", bomb)
    check("an alias bomb is refused at once, with a bounded list of faults",
          refused.returncode == 2 and len(refused.stderr.splitlines()) <= 52 and
          "more faults" in refused.stderr, refused.stderr[-300:])
    zero = lines_config(folder, broker.port, [("z", "sim", [item("led", "led 1 2 3", 100, False)])],
                        "zero.yaml", broker=", password-file: /dev/zero")
    endless = run(zero)
    check("a password file without a line end", endless.returncode == 13 and
          "no line end" in endless.stderr, endless.stderr)
    secret = os.path.join(folder, "secret")
    with open(secret, "w") as file:
        file.write("hunter2\n")
    os.chmod(secret, 0o644)
    told = gateway(lines_config(folder, broker.port, [("z", "sim", [item("led", "led 1 2 3", 100,
                                                                         False)])],
                                "told.yaml", broker=f", password-file: {secret}"))
    check("a password file others can read is warned of",
          told.log.wait("can read the password file") is not None)
    stop(told)

    # SIGHUP reads the configuration again: a line added starts, the others keep running; a
    # configuration with faults is refused and the running one kept.
    lines = [("r1", "sim", [item("led", "led 1 2 3", 100, False)])]
    reloaded = lines_config(folder, broker.port, lines, "reload.yaml")
    keeper = gateway(reloaded)
    check("before the reload", keeper.log.wait("line r1 up") is not None)
    lines_config(folder, broker.port, lines + [("r2", "sim", [item("led", "led 1 2 3", 100,
                                                                   False)])], "reload.yaml")
    mark = len(watch.messages)
    signal_when_ready(keeper, signal.SIGHUP)
    check("a line added comes up", watch.wait(f"{PREFIX}/r2/status",
                                              lambda p: p["state"] == "up", since=mark))
    check("the unchanged line keeps running", keeper.log.count("line r1 up") == 1 and
          keeper.log.count("line r1 down") == 0, keeper.log.lines)
    with open(reloaded, "a") as file:
        file.write("nonsense: 1\n")
    mark = len(keeper.log.lines)
    signal_when_ready(keeper, signal.SIGHUP)
    check("a faulty one is refused", keeper.log.wait("reload refused", since=mark) is not None and
          keeper.poll() is None)
    stop(keeper)
    check("and the gateway ends well", keeper.returncode == 0, keeper.returncode)
finally:
    end_children()
finish()

#!/usr/bin/env python3
"""zephlor-gateway end to end with a real broker: a private mosquitto on a free loopback port
(a generated configuration, no system service), zephlor-sim on TCP as the line, and
mosquitto_sub/mosquitto_pub as the other clients. Values, writes and their results, refused
writes, the last will, a broker restart and a simulator restart; the command line's own checks.
Every child has a time limit; results are waited for, never slept for. Prints a line per
failure and "N passed, M failed".

    broker_test.py ZEPHLORCTL ZEPHLOR_SIM ZEPHLOR_GATEWAY MOSQUITTO MOSQUITTO_SUB MOSQUITTO_PUB
                   OPENSSL
"""
import json
import os
import signal
import subprocess
import tempfile
import time

from gateway_checks import (GATEWAY, PREFIX, Broker, Subscriber, certificates,
                            gateway_config, publish, run, stop)
from tool_checks import (LIMIT, SIM, check, ctl, end_children, finish, free_port,
                         signal_when_ready, start)

folder = tempfile.mkdtemp()
try:
    # The command line alone: --check, faults with their places, a file that is not there.
    broker = Broker(folder)
    sim_port = free_port()
    simulator = start(SIM, "--tcp", str(sim_port))
    device = simulator.stdout.readline().strip()
    config = gateway_config(folder, broker, device)
    checked = run("--check", config)
    check("--check prints the topics", checked.returncode == 0 and
          f"{PREFIX}/hall-1/level/set/result" in checked.stdout and
          f"{PREFIX}/hall-1/led/set" not in checked.stdout, checked.stdout + checked.stderr)
    bad = os.path.join(folder, "bad.yaml")
    with open(bad, "w") as file:
        file.write("topic-prefix: a/+\nlines:\n  - name: x\n    device: sim\n    itmes: []\n")
    refused = run("--check", bad)
    check("faults with their line and column", refused.returncode == 2 and
          f"{bad}:1:15: topic-prefix" in refused.stderr and f"{bad}:5:5: unknown key" in
          refused.stderr, refused.stderr)
    missing = run(os.path.join(folder, "none.yaml"))
    check("a configuration that cannot be read", missing.returncode == 13 and
          "cannot read" in missing.stderr, missing.stderr)
    dry = subprocess.Popen([GATEWAY, "--sim", "--dry-run"], stdout=subprocess.PIPE, text=True)
    lines = [json.loads(dry.stdout.readline()) for _ in range(3)]
    signal_when_ready(dry, signal.SIGINT)
    rest = dry.communicate(timeout=LIMIT)[0].splitlines()
    check("--sim --dry-run", lines[0] == {"topic": "zephlor/sim/status", "payload": "online",
                                           "retained": True} and
          lines[1]["payload"]["state"] == "up" and dry.returncode == 0 and
          json.loads(rest[-1])["payload"] == "offline", str(lines) + str(rest))

    # Home Assistant discovery, when asked for: a retained config for every item.
    discovering = os.path.join(folder, "discovery.yaml")
    with open(discovering, "w") as file:
        file.write("topic-prefix: site\ndiscovery: {prefix: ha}\nlines:\n  - name: hall\n"
                   "    device: sim\n    items:\n      - {name: fan, item: switch 1 1 4, "
                   "every: 500, writable: true}\n")
    listed = run("--check", discovering)
    check("--check lists the discovery configs", listed.returncode == 0 and
          "ha/switch/zephlor_site_hall/fan/config  Home Assistant discovery (retained)" in
          listed.stdout, listed.stdout + listed.stderr)
    dry = subprocess.Popen([GATEWAY, "--dry-run", discovering], stdout=subprocess.PIPE, text=True)
    announced = [json.loads(dry.stdout.readline()) for _ in range(3)]
    signal_when_ready(dry, signal.SIGINT)
    dry.communicate(timeout=LIMIT)
    check("the discovery config is published, retained",
          any(m["topic"] == "ha/switch/zephlor_site_hall/fan/config" and m["retained"] and
              m["payload"]["command_topic"] == "site/hall/fan/set" for m in announced), announced)

    # Under the journal (JOURNAL_STREAM names standard error) every line carries its priority;
    # --log-level leaves out the lesser ones.
    for level, told in (("info", "<6>zephlor-gateway: line line-1 up"),
                        ("warning", "<5>zephlor-gateway: line line-1 down: gateway stopped")):
        with open(os.path.join(folder, "journal"), "w+") as journal:
            stream = os.fstat(journal.fileno())
            environment = dict(os.environ, JOURNAL_STREAM=f"{stream.st_dev}:{stream.st_ino}")
            dry = subprocess.Popen([GATEWAY, "--sim", "--dry-run", "--log-level", level],
                                   stdout=subprocess.PIPE, stderr=journal, text=True,
                                   env=environment)
            [dry.stdout.readline() for _ in range(3)]
            signal_when_ready(dry, signal.SIGINT)
            dry.communicate(timeout=LIMIT)
            journal.seek(0)
            lines = journal.read()
        check(f"under the journal, with --log-level {level}",
              (told in lines) == (level == "info") and
              all(line.startswith("<") for line in lines.splitlines()), lines)
    plain = run("--check", bad)
    check("on a terminal or a file, no priorities", "<3>" not in plain.stderr, plain.stderr)

    # Values on their topics, retained, with their quality.
    watch = Subscriber(broker, f"{PREFIX}/#")
    gateway = start(GATEWAY, config)
    check("online", watch.wait(f"{PREFIX}/status", lambda p: p == "online") is not None)
    check("the line is up", watch.wait(f"{PREFIX}/hall-1/status",
                                       lambda p: p["state"] == "up") is not None, watch.messages)
    # A get reads an item now and publishes it, though it did not change.
    led = f"{PREFIX}/hall-1/led"
    check("the led is published", watch.wait(led) is not None, watch.messages)
    since = len(watch.messages)
    publish(broker, f"{led}/get", "")
    check("a get publishes the item again, unchanged", watch.wait(led, since=since) is not None,
          watch.messages[since:])
    value = watch.wait(f"{PREFIX}/hall-1/level")
    check("a value with its time and quality", value is not None and value["value"] == 0 and
          value["quality"] == "good" and value["time"].endswith("Z"), value)
    late = Subscriber(broker, f"{PREFIX}/hall-1/led")
    check("values are retained", late.wait(f"{PREFIX}/hall-1/led") is not None)
    metrics = watch.wait(f"{PREFIX}/metrics", lambda p: p["lines"]["hall-1"]["transactions"] > 0)
    check("metrics", metrics is not None and "p99" in metrics["lines"]["hall-1"]["reply-ms"],
          metrics)

    # A write, its result, and the value read back through the simulator.
    set_topic = f"{PREFIX}/hall-1/level/set"
    publish(broker, set_topic, '{"value": 75, "id": "w1"}')
    result = watch.wait(set_topic + "/result", lambda p: p.get("id") == "w1")
    read_back = ctl("--device", device, "read", "station-level", "1", "2", "3")
    check("a write and its result", result == {"id": "w1", "sent": 75, "confirmed": True} and
          read_back.stdout == "station-level 1 2 3: 75\n", str(result) + read_back.stderr)
    check("the new value is published", watch.wait(f"{PREFIX}/hall-1/level",
                                                   lambda p: p["value"] == 75) is not None)
    publish(broker, f"{PREFIX}/hall-1/heating/set", "-20")
    check("a plain number", watch.wait(f"{PREFIX}/hall-1/heating/set/result",
                                       lambda p: p.get("sent") == -20) is not None)

    # Writes that never reach the line, each answered on its result topic.
    refusals = [
        ("led", '{"value": 1, "id": "r1"}', "not writable"),
        ("level", '{"value": "high", "id": "r2"}', "not a number"),
        ("level", '{"value": 300, "id": "r3"}', "0 to 255"),
        ("level", '{"value": 7.5, "id": "r4"}', "whole number"),
        ("level", '{"value": 1, "id": "r5", "pad": "' + "x" * 300 + '"}', "over 256 bytes"),
        ("heating", '{"value": 16777217, "id": "r6"}', "cannot hold"),
    ]
    for item, payload, _ in refusals:
        publish(broker, f"{PREFIX}/hall-1/{item}/set", payload)
    for number, (item, payload, reason) in enumerate(refusals, 1):
        topic = f"{PREFIX}/hall-1/{item}/set/result"
        wanted = None if "pad" in payload else f"r{number}"
        answer = watch.wait(topic, lambda p: p.get("id") == wanted and reason in p.get("error", ""))
        check(f"refused: {payload[:40]}", answer is not None and not answer["confirmed"] and
              "sent" not in answer, watch.find(topic))
    publish(broker, set_topic, "not json")
    check("the gateway goes on", watch.wait(set_topic + "/result", lambda p: p["id"] is None and
                                            "not a number" in p["error"]) is not None and
          gateway.poll() is None)
    check("nothing refused reached the line",
          ctl("--device", device, "read", "station-level", "1", "2", "3").stdout ==
          "station-level 1 2 3: 75\n")

    # The simulator goes away and comes back on its port: down, line-down, up again.
    stop(simulator)
    down = watch.wait(f"{PREFIX}/hall-1/status", lambda p: p["state"] == "down")
    check("the line goes down", down is not None and watch.wait(
        f"{PREFIX}/hall-1/level", lambda p: p["quality"] == "line-down" and p["value"] == 75)
        is not None, watch.messages[-5:])
    publish(broker, set_topic, '{"value": 5, "id": "while-down"}')
    check("a write while the line is down", watch.wait(
        set_topic + "/result", lambda p: p["id"] == "while-down" and "down" in p["error"]))
    mark = len(watch.messages)
    simulator = start(SIM, "--tcp", str(sim_port))
    check("the line comes back", watch.wait(f"{PREFIX}/hall-1/status",
                                            lambda p: p["state"] == "up", since=mark))
    check("and its values are good again", watch.wait(
        f"{PREFIX}/hall-1/level", lambda p: p["quality"] == "good" and p["value"] == 0,
        since=mark))

    # The broker restarts without keeping anything: the gateway publishes the latest again.
    stop(watch.process)
    broker.stop()
    broker.start()
    fresh = Subscriber(broker, f"{PREFIX}/#")
    check("after a broker restart, online and the latest values",
          fresh.wait(f"{PREFIX}/status", lambda p: p == "online", 20) is not None and
          fresh.wait(f"{PREFIX}/hall-1/led") is not None, fresh.messages)

    # SIGTERM: offline, a clean end, within a second.
    mark = len(fresh.messages)
    began = time.monotonic()
    gateway.terminate()
    gateway.communicate(timeout=LIMIT)
    took = time.monotonic() - began
    check("SIGTERM ends it within 1 s with exit 0", gateway.returncode == 0 and took < 1.0,
          f"{gateway.returncode} after {took:.2f} s")
    check("and publishes offline",
          fresh.wait(f"{PREFIX}/status", lambda p: p == "offline", since=mark))

    # kill -9: the broker's last will says offline.
    mark = len(fresh.messages)
    gateway = start(GATEWAY, config)
    check("online again", fresh.wait(f"{PREFIX}/status", lambda p: p == "online", since=mark))
    mark = len(fresh.messages)
    gateway.kill()
    gateway.communicate(timeout=LIMIT)
    check("the last will after kill -9",
          fresh.wait(f"{PREFIX}/status", lambda p: p == "offline", since=mark))

    # A broker that comes up after the gateway: waited for, lines polled meanwhile.
    # Its first attempt is refused: the gateway opens its lines only after that attempt, and its
    # line connecting to a simulator of its own shows it has.
    late = Broker(folder, start=False)
    witness = start(SIM, "--tcp", "0", "--log")
    gateway = start(GATEWAY, gateway_config(folder, late, witness.stdout.readline().strip()))
    check("the line is polled without the broker", "connected" in witness.stderr.readline())
    late.start()
    latecomer = Subscriber(late, f"{PREFIX}/#")
    check("and publishes once it is there", latecomer.wait(
        f"{PREFIX}/hall-1/level", lambda p: p["quality"] == "good", 20) is not None)
    stop(gateway)

    # TLS: the broker's certificate checked against the authority named in ca-file; one that
    # another authority signed is a refusal.
    ours, theirs = certificates(folder, "ours"), certificates(folder, "theirs")
    secure = Broker(folder, tls=ours)
    gateway = start(GATEWAY, gateway_config(folder, secure, device,
                                            broker_extra=f"\n  tls: {{ca-file: {ours['ca']}}}"))
    private = Subscriber(secure, f"{PREFIX}/#")
    check("values over TLS", private.wait(f"{PREFIX}/hall-1/level") is not None, private.messages)
    stop(gateway)
    mistrusted = run(gateway_config(folder, secure, device,
                                    broker_extra=f"\n  tls: {{ca-file: {theirs['ca']}}}"))
    check("a broker certificate of another authority", mistrusted.returncode == 14 and
          "certificate verify failed" in mistrusted.stderr, mistrusted.stderr)
    # tls: {} trusts the system's authorities, which SSL_CERT_FILE names for OpenSSL here.
    system_trust = gateway_config(folder, secure, device, broker_extra="\n  tls: {}")
    untrusted = run(system_trust)
    check("tls: {} refuses an authority the system does not trust", untrusted.returncode == 14,
          untrusted.stderr)
    gateway = subprocess.Popen([GATEWAY, system_trust], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=dict(os.environ,
                                                                   SSL_CERT_FILE=ours["ca"]))
    private = Subscriber(secure, f"{PREFIX}/#")
    check("tls: {} with the system trusting the authority",
          private.wait(f"{PREFIX}/hall-1/level") is not None, private.messages)
    stop(gateway)

    # A broker that refuses the gateway ends it with its own status.
    strict = Broker(folder, anonymous=False)
    refused = run(gateway_config(folder, strict, device))
    check("a broker that refuses the credentials", refused.returncode == 14 and
          "refused the connection" in refused.stderr, refused.stderr)
finally:
    end_children()
finish()

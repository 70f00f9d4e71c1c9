"""What the gateway's end-to-end scripts share: a private mosquitto on a free loopback port, a
subscriber that keeps every message, publishing, certificates, a configuration with one line of
three items, and the gateway run to completion.

    SCRIPT ZEPHLORCTL ZEPHLOR_SIM ZEPHLOR_GATEWAY MOSQUITTO MOSQUITTO_SUB MOSQUITTO_PUB OPENSSL
"""
import contextlib
import json
import os
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../ctl/tests"))
from tool_checks import LIMIT, accepts, check, free_port, start, wait_until  # noqa: E402

GATEWAY, MOSQUITTO, SUB, PUB, OPENSSL = sys.argv[3:8]
PREFIX = "plant/a"


def stop(child):
    if child.poll() is None:
        child.terminate()
    child.communicate(timeout=LIMIT)


class Broker:
    """A private mosquitto, started again on the same port after a stop."""

    def __init__(self, folder, anonymous=True, start=True, tls=None):
        self.port = free_port()
        self.config = os.path.join(folder, f"mosquitto-{self.port}.conf")
        self.client_tls = ["--cafile", tls["ca"]] if tls else []
        with open(self.config, "w") as file:
            file.write(f"listener {self.port} 127.0.0.1\nallow_anonymous {str(anonymous).lower()}\n"
                       "persistence false\n")
            if tls:  # run as whoever runs the test, so it reads the test's own files
                file.write(f"user root\ncafile {tls['ca']}\ncertfile {tls['cert']}\n"
                           f"keyfile {tls['key']}\n")
        if start:
            self.start()

    def start(self):
        self.process = start(MOSQUITTO, "-c", self.config)
        check("the broker listens", wait_until(lambda: accepts(self.port), 10))

    def stop(self):
        stop(self.process)


class Subscriber:
    """mosquitto_sub on a topic filter, every message kept as (topic, payload)."""

    def __init__(self, broker, topic):
        self.messages = []
        self.process = start(SUB, "-h", "127.0.0.1", "-p", str(broker.port), *broker.client_tls,
                             "-q", "1", "-v", "-t", topic)
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.process.stdout:
            topic, _, payload = line.rstrip("\n").partition(" ")
            self.messages.append((topic, payload))

    def find(self, topic, condition=lambda payload: True, since=0):
        """The latest payload on `topic` that meets `condition`, JSON decoded where it is JSON,
        among the messages from number `since` on."""
        for seen, payload in reversed(list(self.messages)[since:]):
            if seen != topic:
                continue
            try:
                payload = json.loads(payload)
            except ValueError:
                pass
            if condition(payload):
                return payload
        return None

    def wait(self, topic, condition=lambda payload: True, seconds=10, since=0):
        wait_until(lambda: self.find(topic, condition, since) is not None, seconds)
        return self.find(topic, condition, since)


def publish(broker, topic, payload, retain=False):
    subprocess.run([PUB, "-p", str(broker.port), "-q", "1", "-t", topic, "-m", payload,
                    *(["-r"] if retain else [])], timeout=LIMIT, check=True)


def certificates(folder, name):
    """A private authority NAME-ca.pem and a certificate it signed for 127.0.0.1."""
    files = {part: os.path.join(folder, f"{name}-{part}.pem") for part in ("ca", "cert", "key")}
    authority_key = os.path.join(folder, f"{name}-ca-key.pem")
    request = os.path.join(folder, f"{name}.csr")
    extensions = os.path.join(folder, f"{name}.ext")
    with open(extensions, "w") as file:
        file.write("subjectAltName=IP:127.0.0.1\n")
    for command in (
            ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", authority_key, "-out",
             files["ca"], "-days", "2", "-subj", f"/CN={name} authority"],
            ["req", "-newkey", "rsa:2048", "-nodes", "-keyout", files["key"], "-out", request,
             "-subj", "/CN=127.0.0.1"],
            ["x509", "-req", "-in", request, "-CA", files["ca"], "-CAkey", authority_key,
             "-CAcreateserial", "-out", files["cert"], "-days", "2", "-extfile", extensions]):
        subprocess.run([OPENSSL, *command], capture_output=True, timeout=LIMIT, check=True)
    return files


def gateway_config(folder, broker, device, extra="", broker_extra=""):
    path = os.path.join(folder, "gateway.yaml")
    with open(path, "w") as file:
        file.write(f"""broker:
  port: {broker.port}
  client-id: test-gateway{broker_extra}
topic-prefix: {PREFIX}
metrics-every: 1000
lines:
  - name: hall-1
    device: {device}
    timeout: 300
    items:
      - name: level
        item: station-level 1 2 3
        every: 100
        writable: true
      - name: heating
        item: thermostat 1 2 3
        every: 200
        writable: true
      - name: led
        item: led 1 2 3
        every: 200
{extra}""")
    return path


def run(*arguments):
    return subprocess.run([GATEWAY, *arguments], capture_output=True, text=True, timeout=LIMIT)




class Log:
    """Every line a child writes on a stream, kept as it comes, so a test can wait for one."""

    def __init__(self, stream):
        self.lines = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.append(line.rstrip("\n"))

    def wait(self, text, seconds=LIMIT, since=0):
        """The first line from number `since` on that holds `text`, or None."""
        found = []
        wait_until(lambda: found.extend(l for l in self.lines[since:] if text in l) or found,
                   seconds)
        return found[0] if found else None

    def count(self, text):
        return sum(text in line for line in self.lines)


class Proxy:
    """A TCP proxy on loopback in front of `port`, as the network between the gateway and its
    broker: it can drop what the client sends (a link gone dead that nobody noticed yet), cut
    every connection, refuse new ones, and carry the client's bytes at a bounded rate."""

    def __init__(self, port, rate=None):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.target, self.rate = port, rate
        self.holding = self.refusing = False
        self.dropped = b""
        self.connections = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            client, _ = self.listener.accept()
            if self.refusing:
                client.close()
                continue
            upstream = socket.create_connection(("127.0.0.1", self.target))
            self.connections.append((client, upstream))
            for source, sink, outgoing in ((client, upstream, True), (upstream, client, False)):
                threading.Thread(target=self._pump, args=(source, sink, outgoing),
                                 daemon=True).start()

    def _pump(self, source, sink, outgoing):
        with contextlib.suppress(OSError):
            while data := source.recv(4096):
                if outgoing and self.holding:
                    self.dropped += data
                    continue
                if outgoing and self.rate:
                    time.sleep(len(data) / self.rate)  # the link's pace, not a wait for a child
                sink.sendall(data)
        for end in (source, sink):
            with contextlib.suppress(OSError):
                end.shutdown(socket.SHUT_RDWR)

    def cut(self):
        for connection in self.connections:
            for end in connection:
                with contextlib.suppress(OSError):
                    end.shutdown(socket.SHUT_RDWR)
        self.connections = []

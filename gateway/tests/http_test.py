"""The gateway's HTTP port end to end, with zephlor-sim on TCP as the line and no broker
(--dry-run): its metrics pass promtool and a real Prometheus scrapes them; writes need the
password and reach the controller, their result told on the event stream; HTTPS, read-password
and read-only; an open address without a password refused; a stop not held up by an open page.

    SCRIPT ZEPHLORCTL ZEPHLOR_SIM ZEPHLOR_GATEWAY PROMTOOL PROMETHEUS OPENSSL
"""
import base64
import http.client
import json
import os
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../ctl/tests"))
from tool_checks import (LIMIT, SIM, accepts, check, ctl, end_children, finish,  # noqa: E402
                         free_port, start, wait_until)

GATEWAY, PROMTOOL, PROMETHEUS, OPENSSL = sys.argv[3:7]
PASSWORD = "s3cret pass"


def authorization(user, password):
    return "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()


class Port:
    """Requests to the gateway's HTTP port, plain or over TLS checked against `authority`."""

    def __init__(self, port, authority=None):
        self.port, self.authority = port, authority

    def connection(self):
        if self.authority is None:
            return http.client.HTTPConnection("127.0.0.1", self.port, timeout=LIMIT)
        context = ssl.create_default_context(cafile=self.authority)
        return http.client.HTTPSConnection("127.0.0.1", self.port, timeout=LIMIT, context=context)

    def ask(self, method, path, body=None, headers=None):
        """(status, headers, body text)."""
        connection = self.connection()
        connection.request(method, path, body=body, headers=headers or {})
        answer = connection.getresponse()
        text = answer.read().decode()
        connection.close()
        return answer.status, dict(answer.getheaders()), text


class Events:
    """The /events stream read on a thread of its own, every event kept decoded."""

    def __init__(self, port):
        self.events = []
        self.connection = port.connection()
        self.connection.request("GET", "/events")
        self.answer = self.connection.getresponse()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        try:
            for line in self.answer:
                if line.startswith(b"data: "):
                    self.events.append(json.loads(line[6:]))
        except (OSError, ValueError, http.client.HTTPException):
            pass

    def find(self, condition):
        return next((event for event in list(self.events) if condition(event)), None)


def config(folder, name, device, http):
    path = os.path.join(folder, f"{name}.yaml")
    with open(path, "w") as file:
        file.write(f"""topic-prefix: plant/a
http: {http}
lines:
  - name: hall-1
    device: {device}
    timeout: 500
    items:
      - {{name: level, item: station-level 1 2 3, every: 200, writable: true}}
      - {{name: led, item: led 1 2 3, every: 200}}
""")
    return path


def gateway(path):
    """The gateway on `path`, once its HTTP port listens."""
    child = start(GATEWAY, "--dry-run", path)
    ready = []
    threading.Thread(target=lambda: [ready.append(line) for line in child.stderr],
                     daemon=True).start()
    check("the gateway serves its port",
          wait_until(lambda: any("serving the live page" in line for line in ready), LIMIT),
          "".join(ready))
    return child


def certificates(folder):
    """A private authority and a certificate it signed for 127.0.0.1."""
    files = {part: os.path.join(folder, f"http-{part}.pem") for part in ("ca", "ca-key", "cert",
                                                                          "key")}
    request, extensions = os.path.join(folder, "http.csr"), os.path.join(folder, "http.ext")
    with open(extensions, "w") as file:
        file.write("subjectAltName=IP:127.0.0.1\n")
    for command in (
            ["req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", files["ca-key"], "-out",
             files["ca"], "-days", "2", "-subj", "/CN=test authority"],
            ["req", "-newkey", "rsa:2048", "-nodes", "-keyout", files["key"], "-out", request,
             "-subj", "/CN=127.0.0.1"],
            ["x509", "-req", "-in", request, "-CA", files["ca"], "-CAkey", files["ca-key"],
             "-CAcreateserial", "-out", files["cert"], "-days", "2", "-extfile", extensions]):
        subprocess.run([OPENSSL, *command], capture_output=True, timeout=LIMIT, check=True)
    return files


def metrics_pass_promtool_and_prometheus(folder, port):
    status, headers, text = port.ask("GET", "/metrics")
    check("/metrics", status == 200 and "version=0.0.4" in headers.get("Content-Type", ""),
          f"{status} {headers}")
    linted = subprocess.run([PROMTOOL, "check", "metrics"], input=text, capture_output=True,
                            text=True, timeout=LIMIT)
    check("promtool check metrics", linted.returncode == 0 and not linted.stdout.strip(),
          linted.stdout + linted.stderr)

    web = free_port()
    scrape = os.path.join(folder, "prometheus.yml")
    with open(scrape, "w") as file:
        file.write("global: {scrape_interval: 1s}\nscrape_configs:\n"
                   f"  - job_name: gateway\n    static_configs: [{{targets: ['127.0.0.1:{port.port}']}}]\n")
    start(PROMETHEUS, f"--config.file={scrape}", f"--storage.tsdb.path={folder}/tsdb",
          f"--web.listen-address=127.0.0.1:{web}")
    check("Prometheus listens", wait_until(lambda: accepts(web), LIMIT))
    # It answers 503 until it has read its configuration and its storage is open.
    check("Prometheus is ready", wait_until(lambda: Port(web).ask("GET", "/-/ready")[0] == 200,
                                            LIMIT))
    query = "/api/v1/query?query=" + urllib.parse.quote('zephlor_item_value{item="level"}')
    found = []

    def scraped():
        try:
            status, _, body = Port(web).ask("GET", query)
        except OSError:
            return False
        found[:] = json.loads(body)["data"]["result"] if status == 200 else []
        return bool(found)

    check("Prometheus scraped the gateway", wait_until(scraped, LIMIT))
    check("and reads the controller's value back", found and found[0]["value"][1] == "31", found)


def writes_need_the_password(port, device):
    events = Events(port)
    check("the event stream starts with the whole state",
          wait_until(lambda: events.find(lambda e: e["type"] == "state"), LIMIT))
    refusals = {
        "no password": ({}, True),
        "a wrong one": ({"Authorization": authorization("operator", "guess")}, False),
        "another user": ({"Authorization": authorization("admin", PASSWORD)}, False),
    }
    for name, (headers, challenged) in refusals.items():
        status, answered, body = port.ask("POST", "/write/hall-1/level", "13", headers)
        check(f"a write with {name} is refused",
              status == 401 and ("WWW-Authenticate" in answered) == challenged, f"{status} {body}")
    right = {"Authorization": authorization("operator", PASSWORD)}
    status, _, body = port.ask("POST", "/write/hall-1/led", "1", right)
    check("a write to an item that is not writable", status == 409 and "not writable" in body, body)
    status, _, body = port.ask("POST", "/write/hall-1/level", "300", right)
    check("a value the item cannot carry", status == 409 and "0 to 255" in body, body)
    status, _, body = port.ask("POST", "/write/hall-1/level", "42", right)
    check("a write with the password is taken", status == 202, f"{status} {body}")
    identity = json.loads(body).get("id") if status == 202 else None
    told = wait_until(lambda: events.find(lambda e: e["type"] == "write" and e["id"] == identity),
                      LIMIT)
    event = events.find(lambda e: e["type"] == "write" and e["id"] == identity) or {}
    check("its result comes on the event stream", told and event.get("confirmed"), event)
    read = ctl("-d", device, "read", "station-level", "1", "2", "3")
    check("and the controller has the value", read.stdout.split()[-1:] == ["42"], read.stdout)
    _, _, text = port.ask("GET", "/metrics")
    check("writes are counted by result", 'zephlor_writes_total{result="confirmed"} 1' in text and
          'zephlor_writes_total{result="refused"} 2' in text, text)
    return events


def tls_read_password_and_read_only(folder, device):
    files = certificates(folder)
    port = Port(free_port(), files["ca"])
    child = gateway(config(folder, "tls", device,
                           f"{{listen: '127.0.0.1:{port.port}', password-file: {folder}/password,"
                           " read-password: true, read-only: true, tls: {cert-file: "
                           f"{files['cert']}, key-file: {files['key']}}}}}"))
    status, headers, _ = port.ask("GET", "/")
    check("read-password: the page needs it", status == 401 and "WWW-Authenticate" in headers,
          status)
    right = {"Authorization": authorization("operator", PASSWORD)}
    for path in ("/", "/metrics", "/state"):
        status, _, _ = port.ask("GET", path, headers=right)
        check(f"over HTTPS with the password: {path}", status == 200, status)
    status, _, body = port.ask("POST", "/write/hall-1/level", "7", right)
    check("read-only: no writes, even with the password", status == 403 and "read-only" in body,
          body)
    child.terminate()
    child.communicate(timeout=LIMIT)


def main():
    folder = tempfile.mkdtemp(prefix="zephlor-http-")
    with open(os.path.join(folder, "password"), "w") as file:
        file.write(PASSWORD + "\n")
    os.chmod(os.path.join(folder, "password"), 0o600)
    simulator = start(SIM, "--tcp", "0")
    device = simulator.stdout.readline().strip()
    ctl("-d", device, "write", "station-level", "1", "2", "3", "31")

    opened = config(folder, "open", device, "{listen: '0.0.0.0:9650'}")
    checked = subprocess.run([GATEWAY, "--check", opened], capture_output=True, text=True,
                             timeout=LIMIT)
    check("an address others reach, without a password, is refused", checked.returncode == 2 and
          "read-only" in checked.stderr, checked.stderr)

    port = Port(free_port())
    plain = config(folder, "plain", device,
                   f"{{listen: '127.0.0.1:{port.port}', password-file: {folder}/password}}")
    checked = subprocess.run([GATEWAY, "--check", plain], capture_output=True, text=True,
                             timeout=LIMIT)
    check("--check names the port", f"http://127.0.0.1:{port.port}/  the live page" in
          checked.stdout and "writes from the page with the password" in checked.stdout,
          checked.stdout)
    child = gateway(plain)
    status, _, page = port.ask("GET", "/")
    check("the page is served whole", status == 200 and "new EventSource" in page and
          'data-writes="true"' in page and "http://" not in page.replace("http://www.w3.org", ""),
          status)
    metrics_pass_promtool_and_prometheus(folder, port)
    events = writes_need_the_password(port, device)

    # A page left open does not hold up a stop.
    check("the page still follows", events.answer.status == 200)
    began = time.monotonic()
    child.send_signal(signal.SIGTERM)
    child.communicate(timeout=LIMIT)
    print(f"stopped with a page open in {time.monotonic() - began:.2f} s")
    check("the gateway stops with a page open", child.returncode == 0, child.returncode)

    tls_read_password_and_read_only(folder, device)
    end_children()
    finish()


if __name__ == "__main__":
    main()

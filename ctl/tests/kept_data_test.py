#!/usr/bin/env python3
"""What the tools hold is never lost and no peer can stop them, end to end with the real binaries:
results files, the simulator's state file, the TCP simulator under hostile peers, the TCP client
and defaults from the environment. Loopback only; every child runs under a time limit. Prints a
line per failure and "N passed, M failed".

    kept_data_test.py ZEPHLORCTL ZEPHLOR_SIM
"""
import contextlib
import os
import pty
import resource
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time

from tool_checks import (CTL, LIMIT, SIM, check, connecting_to, ctl, descriptors_open, finish,
                         signal_when_ready, wait_until)



@contextlib.contextmanager
def simulator(*arguments, limit_files=None):
    """A TCP simulator on loopback; yields its process and its port."""
    def limited():
        if limit_files:
            resource.setrlimit(resource.RLIMIT_NOFILE, (limit_files, limit_files))
    server = subprocess.Popen([SIM, "--tcp", "0", *arguments], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True, preexec_fn=limited)
    try:
        address = server.stdout.readline().strip()
        yield server, address, int(address.rsplit(":", 1)[1])
    finally:
        if server.poll() is None:
            server.terminate()
        server.communicate(timeout=LIMIT)


def transact(port, request=b"VGC# 1 2 3\r\n", host="127.0.0.1"):
    """One request after which the client half-closes, as one-shot clients do; the reply, or
    nothing when the connection was refused or reset (a slot not yet free)."""
    try:
        with socket.create_connection((host, port), timeout=5) as connection:
            connection.sendall(request)
            connection.shutdown(socket.SHUT_WR)
            reply = b""
            while chunk := connection.recv(256):
                reply += chunk
            return reply
    except OSError:
        return b""


folder = tempfile.mkdtemp()
output = os.path.join(folder, "out.csv")

# Results files: a start that fails leaves an existing file as it was.
for name, arguments, status in [
        ("no device", ["--device", os.path.join(folder, "missing")], 4),
        ("no plug-in", ["--sim", "--driver", os.path.join(folder, "missing.so")], 3),
        ("a port out of range", ["--device", "tcp:127.0.0.1:99999"], 2)]:
    with open(output, "w") as file:
        file.write("earlier results\n")
    run = ctl(*arguments, "--format", "csv", "--output", output, "read", "led", "1", "2", "3")
    with open(output) as file:
        kept = file.read()
    check(f"{name}: results kept", run.returncode == status and kept == "earlier results\n",
          (run.returncode, kept, run.stderr))

# A second run on a live results file is refused and spoils nothing.
first = subprocess.Popen([CTL, "--sim", "--format", "csv", "--output", output, "poll", "led", "1",
                          "2", "3", "--interval", "100", "--count", "15"], stderr=subprocess.PIPE)
check("the first run writes", wait_until(lambda: os.path.getsize(output) > 30))
second = ctl("--sim", "--format", "csv", "--output", output, "read", "led", "1", "2", "3")
first.communicate(timeout=LIMIT)
with open(output, "rb") as file:
    written = file.read()
check("a second writer is refused", second.returncode == 11 and "output in use" in second.stderr,
      second.stderr)
check("the first run's file is whole", written.count(b"\r\n") == 16 and b"\0" not in written,
      written)

script = os.path.join(folder, "s.zcmd")
with open(script, "w") as file:
    file.write("read led 1 2 3\n")
run = ctl("--sim", "--output", os.path.join(folder, ".", "s.zcmd"), "run", script)
with open(script) as file:
    check("the script is not its own output", run.returncode == 2 and
          file.read() == "read led 1 2 3\n", run.stderr)

for _ in range(2):
    ctl("--sim", "--format", "csv", "--output", output, "--append", "read", "led", "1", "2", "3")
with open(output, newline="") as file:
    lines = file.read().split("\r\n")
check("--append keeps one header", lines[0].startswith("time,") and
      sum(line.startswith("time,") for line in lines) == 1 and len(lines) == 19, lines)

run = ctl("--sim", "--format", "json", "run", "-", stdin="fault drop\nread led 1 2 3\nfault none\n")
check("fault notes stay out of the records", run.stdout.count("\n") == 1 and
      run.stdout.startswith("{") and "simulator faults" in run.stderr, run.stdout)
# A status line while a poll writes to a file, on a terminal only.
terminal, terminal_end = pty.openpty()
subprocess.run([CTL, "--sim", "--format", "csv", "--output", output, "poll", "led", "1", "2", "3",
                "--interval", "100", "--count", "8"], stdout=subprocess.DEVNULL,
               stderr=terminal_end, timeout=LIMIT)
os.close(terminal_end)
shown = b""
with contextlib.suppress(OSError):
    while chunk := os.read(terminal, 4096):
        shown += chunk
os.close(terminal)
piped = ctl("--sim", "--format", "csv", "--output", output, "poll", "led", "1", "2", "3",
            "--interval", "100", "--count", "8")
check("a status line on a terminal, and not elsewhere",
      b"\rpoll: " in shown and b"reads failed, last reply" in shown and
      "last reply" not in piped.stderr, (shown, piped.stderr))
run = ctl("--sim", "poll", "led", "1", "2", "3", "--interval", "0", "--count", "20")
check("--interval 0 counts no overrun", run.returncode == 0 and "20 samples, 20 reads, 0 reads failed, 0 overruns"
      in run.stderr, run.stderr)

# The state file: refused when it cannot be kept; held; saved whole, durably, within a second.
fifo = os.path.join(folder, "fifo")
os.mkfifo(fifo)
for name, path in [("a folder", folder), ("a FIFO", fifo)]:
    run = subprocess.run([SIM, "--stdio", "--state", path], capture_output=True, text=True,
                         stdin=subprocess.DEVNULL, timeout=LIMIT)
    check(f"{name} is no state file", run.returncode == 12 and "not a regular file" in run.stderr,
          run.stderr)
check("the FIFO is left as it was", stat.S_ISFIFO(os.stat(fifo).st_mode))
long_line = os.path.join(folder, "long.txt")
with open(long_line, "w") as file:
    file.write("#" + "x" * 100000 + "\n")
run = subprocess.run([SIM, "--stdio", "--state", long_line], capture_output=True, text=True,
                     stdin=subprocess.DEVNULL, timeout=LIMIT)
check("a long line is refused in a short message", run.returncode == 2 and
      "longer than 4096 bytes" in run.stderr and len(run.stderr) < 300, run.stderr[:300])

target = os.path.join(folder, "plant.txt")
link = os.path.join(folder, "plant-link.txt")
with open(target, "w") as file:
    file.write("# hall 1, commissioned by A.\nled 1 2 3 = 5\n")
os.chmod(target, 0o600)
os.symlink("plant.txt", link)
with simulator("--state", link) as (server, address, port):
    again = subprocess.run([SIM, "--stdio", "--state", target], capture_output=True, text=True,
                           stdin=subprocess.DEVNULL, timeout=LIMIT)
    check("a second simulator is refused", again.returncode == 11 and "in use" in again.stderr,
          again.stderr)
    write = ctl("--device", address, "write", "thermostat", "1", "2", "3", "-40")
    saved = wait_until(lambda: "thermostat 1 2 3 = -40" in open(target).read(), 3)
    server.kill()
    with open(target) as file:
        kept = file.read()
    check("a confirmed write is saved within a second, and survives SIGKILL",
          write.returncode == 0 and saved and "thermostat 1 2 3 = -40" in kept, kept)
    check("comments, mode and link are kept", kept.startswith("# hall 1, commissioned by A.\n") and
          stat.S_IMODE(os.stat(target).st_mode) == 0o600 and os.path.islink(link), kept)

# The TCP simulator: no peer can stop it.
with simulator("--max-clients", "2", "--log") as (server, address, port):
    held = [socket.create_connection(("127.0.0.1", port)) for _ in range(2)]
    extra = socket.create_connection(("127.0.0.1", port))
    extra.settimeout(5)
    check("a client beyond --max-clients is closed at once", extra.recv(16) == b"")
    for connection in held + [extra]:
        connection.close()
    check("the half-closed client is answered", wait_until(
        lambda: transact(port) == b"RGC# 1 2 3 0\r\n"))
    server.terminate()
    log = server.communicate(timeout=LIMIT)[1]
    check("--log tells connections", "refused 127.0.0.1:" in log and "disconnected" in log, log)

# A sanitizer's run-time library needs descriptors of its own and misbehaves without them, so
# this runs in the plain builds only.
if sys.argv[3:] != ["sanitized"]:
    with simulator(limit_files=32) as (server, address, port):
        crowd = [socket.create_connection(("127.0.0.1", port)) for _ in range(40)]
        check("it takes connections until its descriptors run out",
              wait_until(lambda: descriptors_open(server.pid) >= 32, 10),
              descriptors_open(server.pid))
        for connection in crowd:
            connection.close()
        check("out of descriptors, it waits and serves on",
              wait_until(lambda: transact(port) == b"RGC# 1 2 3 0\r\n") and server.poll() is None)

if socket.has_ipv6:
    server = subprocess.Popen([SIM, "--tcp", "[::1]:0"], stdout=subprocess.PIPE, text=True)
    address = server.stdout.readline().strip()
    run = ctl("--device", address, "read", "led", "1", "2", "3") if address else None
    server.terminate()
    server.wait(timeout=LIMIT)
    check("[::1]:PORT both ways", address.startswith("tcp:[::1]:") and run.returncode == 0, address)

# The TCP client.
for arguments, text in [(["--device", "tcp:127.0.0.1:99999"], "PORT 1 to 65535"),
                        (["--device", "tcp:127.0.0.1:4001", "--baud", "9600"], "device server's"),
                        (["--device", "telnet://127.0.0.1:4001"], "rfc2217:HOST:PORT")]:
    run = ctl(*arguments, "read", "led", "1", "2", "3")
    check(f"{arguments[1]} refused", run.returncode == 2 and text in run.stderr, run.stderr)

# A listener that accepts nothing, its backlog full: a connect waits, and a stop ends it.
with socket.socket() as full:
    full.bind(("127.0.0.1", 0))
    full.listen(0)
    waiting = []
    with contextlib.suppress(OSError):
        while len(waiting) < 8:
            waiting.append(socket.create_connection(full.getsockname(), timeout=0.3))
    connecting = subprocess.Popen([CTL, "--device", f"tcp:127.0.0.1:{full.getsockname()[1]}",
                                   "--timeout", "30000", "read", "led", "1", "2", "3"],
                                  stderr=subprocess.PIPE)
    port = full.getsockname()[1]
    sent = signal_when_ready(connecting, signal.SIGINT,
                             lambda: connecting_to(connecting.pid, port))
    stopping = time.monotonic()
    connecting.communicate(timeout=LIMIT)
    check("a stop during connect is a stop", sent and connecting.returncode == 130 and
          time.monotonic() - stopping < 5, connecting.returncode)
    for connection in waiting:
        connection.close()

# Defaults from the environment.
environment = dict(os.environ, ZEPHLOR_BAUD="fast")
run = ctl("--sim", "read", "led", "1", "2", "3", env=environment)
check("a bad default is named by its variable", run.returncode == 2 and
      "ZEPHLOR_BAUD" in run.stderr and "--baud" not in run.stderr, run.stderr)
check("and blocks neither --help nor list-ports",
      ctl("--help", env=environment).returncode == 0 and
      ctl("list-ports", env=environment).returncode == 0)
with open(script, "wb") as file:
    file.write(b"\xef\xbb\xbfread led 1 2 3\n")
run = ctl("--sim", "run", script)
check("a script with a byte-order mark", run.returncode == 0, run.stderr)

finish()

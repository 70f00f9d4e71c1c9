"""What the end-to-end scripts share: the tools' paths from the command line, a time limit for
every child, servers' children started and ended together, free loopback ports, signs that a
child is ready for what the test does to it next, and a tally of checks that ends in
"N passed, M failed"."""
import os
import socket
import subprocess
import sys
import time

CTL, SIM = sys.argv[1], sys.argv[2]
LIMIT = 60
results = {"passed": 0, "failed": 0}


def check(name, condition, detail=""):
    if condition:
        results["passed"] += 1
    else:
        results["failed"] += 1
        print(f"FAIL {name}: {detail}")


def ctl(*arguments, env=None, stdin=""):
    return subprocess.run([CTL, *arguments], input=stdin, capture_output=True, text=True,
                          timeout=LIMIT, env=env)


children = []


def start(*command):
    """A child that serves while the checks run, its output piped; ended by end_children."""
    child = subprocess.Popen(list(command), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             text=True)
    children.append(child)
    return child


def end_children():
    for child in children:
        if child.poll() is None:
            child.terminate()
        child.communicate(timeout=LIMIT)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def accepts(port):
    try:
        socket.create_connection(("127.0.0.1", port), timeout=1).close()
        return True
    except OSError:
        return False


def wait_until(condition, seconds=5.0):
    """Whether `condition` comes true within `seconds`, asked every 20 ms."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.02)
    return False


def catches(pid, signal_number):
    """Whether process `pid` has installed a handler for the signal: the kernel's SigCgt mask in
    /proc/PID/status has its bit once the handler is in place."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("SigCgt:"):
                    return bool(int(line.split()[1], 16) >> (signal_number - 1) & 1)
    except OSError:
        pass
    return False


def signal_when_ready(child, signal_number, ready=lambda: True, seconds=LIMIT):
    """Sends `signal_number` to `child` once it catches that signal and `ready()` holds, so that
    a slow start on a busy machine is never taken for the behaviour under test. Whether it was
    sent."""
    if not wait_until(lambda: catches(child.pid, signal_number) and ready(), seconds):
        return False
    child.send_signal(signal_number)
    return True


def connecting_to(pid, port):
    """Whether process `pid` holds a TCP socket that is still connecting (SYN sent) to `port` on
    loopback: the kernel's socket table, matched to the process's descriptors by inode."""
    try:
        inodes = {os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")}
        with open("/proc/net/tcp") as table:
            rows = [row.split() for row in table.readlines()[1:]]
    except OSError:
        return False
    syn_sent = "02"
    return any(row[2].endswith(f":{port:04X}") and row[3] == syn_sent and
               f"socket:[{row[9]}]" in inodes for row in rows)


def descriptors_open(pid):
    """How many descriptors process `pid` holds (0 once it is gone)."""
    try:
        return len(os.listdir(f"/proc/{pid}/fd"))
    except OSError:
        return 0


def finish():
    print(f"{results['passed']} passed, {results['failed']} failed")
    sys.exit(1 if results["failed"] else 0)

"""What the end-to-end scripts share: the tools' paths from the command line, a time limit for
every child, servers' children started and ended together, free loopback ports, and a tally of
checks that ends in "N passed, M failed"."""
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


def finish():
    print(f"{results['passed']} passed, {results['failed']} failed")
    sys.exit(1 if results["failed"] else 0)

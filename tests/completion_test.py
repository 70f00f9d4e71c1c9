#!/usr/bin/env python3
"""The bash completion against the tools it completes: every option each tool takes, and for
zephlorctl its commands, item kinds, speeds and fault kinds, as the tools' own --help (made from
their option, verb and catalogue tables) tells them. Usage: completion_test.py COMPLETION
ZEPHLORCTL ZEPHLOR-SIM ZEPHLOR-GATEWAY"""
import re
import subprocess
import sys

completion_file, ctl, sim, gateway = sys.argv[1:5]
completion = open(completion_file).read()
results = {"passed": 0, "failed": 0}


def check(what, expected, found):
    ok = expected == found
    results["passed" if ok else "failed"] += 1
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        print("     missing from the completion:", sorted(expected - found))
        print("     in the completion alone:", sorted(found - expected))


def helped(tool):
    return subprocess.run([tool, "--help"], capture_output=True, text=True, timeout=30).stdout


def function(name):
    """The body of the completion's function NAME."""
    start = completion.index(name + "() {")
    return completion[start:completion.index("\ncomplete -F " + name, start)]


def listed(body, variable):
    return set(re.search(variable + r'="([^"]*)"', body).group(1).split())


def options_in(text):
    return set(re.findall(r"(?<![\w-])--[a-z][a-z0-9-]*[a-z0-9]", text))


def section(help_text, heading, end):
    return help_text[help_text.index(heading):help_text.index(end, help_text.index(heading))]


ctl_help, sim_help, gateway_help = helped(ctl), helped(sim), helped(gateway)
ctl_body = function("_zephlorctl")
check("zephlorctl's options", options_in(ctl_help), listed(ctl_body, "local options"))
commands = set(re.findall(r"^  ([a-z][a-z-]+)\b", section(ctl_help, "Commands:", "\n\n"), re.M))
check("zephlorctl's commands", commands, listed(ctl_body, "local commands"))
items = set(re.findall(r"^  ([a-z][a-z-]+)\b", section(ctl_help, "Items:", "\n\n"), re.M))
check("the item kinds", items, listed(ctl_body, "local items"))
speeds = set(re.search(r"--baud N\s+([\d, \n]+)\(default", ctl_help).group(1).replace(",", " ").split())
faults = {word for word in re.search(r"KIND: ([a-z, \n-]+)", ctl_help).group(1).replace(",", " ").split()
          if not word.startswith("-")}
for body in (ctl_body, function("_zephlor_sim")):
    check("the speeds", speeds, set(re.search(r'compgen -W "(1200[\d ]*)"', body).group(1).split()))
    check("the fault kinds", faults, set(re.search(r'compgen -W "(drop[a-z -]*)"', body).group(1).split()))
sim_body = function("_zephlor_sim")
check("zephlor-sim's options", options_in(section(sim_help, "Where it listens", "\nExit status")),
      options_in(sim_body[sim_body.rindex("compgen -W"):]))
gateway_body = function("_zephlor_gateway")
check("zephlor-gateway's options", options_in(section(gateway_help, "Options:", "\n\n")),
      options_in(gateway_body[gateway_body.rindex("compgen -W"):]))
print(f"{results['passed']} passed, {results['failed']} failed")
sys.exit(1 if results["failed"] else 0)

"""Changes that Wine itself makes while any program runs, and the agent's own
set-up: they are no part of what a scenario states. Everything else that
changes in the registry or on the drives must be expected by the scenario."""
import re

# Registry keys (and everything below them).
REGISTRY = [re.compile(p, re.I) for p in [
    # user32 keeps the system parameters a program asked for here
    r"HKCU\\Software\\Wine\\Temporary System Parameters(\\|$)",
]]

# Files and folders (Windows paths).
FILES = [re.compile(p, re.I) for p in [
]]


# Programs that Wine starts on a program's behalf: saving a shell link asks
# for the menu builder, which the test prefixes disable.
CHILDREN = {"winemenubuilder.exe"}


def registry_ignored(path):
    return any(p.match(path) for p in REGISTRY)


def file_ignored(path):
    return any(p.match(path) for p in FILES)


def child_ignored(name):
    return name.lower() in CHILDREN

"""Changes that Wine itself makes while any program runs, and the agent's own
set-up: they are no part of what a scenario states. Everything else that
changes in the registry or on the drives must be expected by the scenario."""
import re

# Registry keys (and everything below them).
REGISTRY = [re.compile(p, re.I) for p in [
    # user32 keeps the system parameters a program asked for here
    r"HKCU\\Software\\Wine\\Temporary System Parameters(\\|$)",
    # the desktop of every new Wine session registers its display adapter anew
    # (a session killed before its server saved loses the last registration)
    r"HKLM\\System\\CurrentControlSet\\Control\\Video(\\|$)",
    r"HKLM\\System\\CurrentControlSet\\Control\\Class\\\{4D36E968-E325-11CE-BFC1-08002BE10318\}"
    r"(\\|$)",
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

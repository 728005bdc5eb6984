#!/usr/bin/env python3
"""Fails when a program imports a function that its build's list does not hold, or
when the list holds one newer than the oldest Windows the build is for.

Usage: check-import-list.py OBJDUMP PROGRAM LIST
A list line is "DLL!Function  oldest Windows", the oldest Windows being one of the
names in WINDOWS below; its first line "# minimum: NAME" names the build's minimum.
"""
import re
import subprocess
import sys

WINDOWS = ["2000", "XP", "XP SP1", "XP SP2", "XP SP3", "Vista", "7", "7 SP1", "8", "8.1",
           "10 1507", "10 1607", "10 1703"]


def imports(objdump, program):
    dll, found = None, set()
    for line in subprocess.run([objdump, "-p", program], check=True, capture_output=True,
                               text=True).stdout.splitlines():
        named = re.match(r"\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1).lower()
            continue
        entry = re.match(r"\s+[0-9a-f]+\s+\d+\s+(\S+)$", line)
        if dll and entry:
            found.add(f"{dll}!{entry.group(1)}")
    return found


def main(objdump, program, list_path):
    allowed, problems, minimum = {}, [], None
    for number, line in enumerate(open(list_path, encoding="utf-8"), 1):
        line = line.strip()
        if line.startswith("# minimum:"):
            minimum = line.split(":", 1)[1].strip()
        if not line or line.startswith("#"):
            continue
        function, _, oldest = line.partition(" ")
        oldest = oldest.strip()
        if oldest not in WINDOWS:
            problems.append(f"{list_path}:{number}: unknown Windows '{oldest}'")
            continue
        allowed[function.lower()] = oldest
    if minimum not in WINDOWS:
        sys.exit(f"{list_path}: no '# minimum:' line naming one of {WINDOWS}")
    for function, oldest in allowed.items():
        if WINDOWS.index(oldest) > WINDOWS.index(minimum):
            problems.append(f"listed {function} needs Windows {oldest}, newer than {minimum}")
    found = imports(objdump, program)
    if not found:
        problems.append(f"{program}: no imports found")
    for function in sorted(found):
        if function.lower() not in allowed:
            problems.append(f"{program} imports {function}, which is not in {list_path}")
    for problem in problems:
        print(problem)
    print(f"{len(found)} imports checked against {len(allowed)} listed (minimum Windows {minimum})")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))

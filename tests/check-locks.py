#!/usr/bin/python3
"""Checks, as CTest itself will run them (ctest --show-only=json-v1), that every test
which shows a window in front (Foreground*) or starts quillrake.exe whole (the
program tests) holds the "desktop" lock or runs alone: another one beside it would
take its focus, or its single-instance mutex.
Usage: check-locks.py CTEST BUILD_DIR"""
import json
import subprocess
import sys

if len(sys.argv) != 3:
    sys.exit(__doc__)
shown = subprocess.run([sys.argv[1], '--show-only=json-v1'], cwd=sys.argv[2], check=True,
                       capture_output=True, text=True).stdout
unlocked, checked = [], 0
for test in json.loads(shown)['tests']:
    program = test.get('command', ['', ''])[1:2]  # what the Wine wrapper runs
    if '.Foreground' not in test['name'] and not (program and program[0].endswith('program_tests.exe')):
        continue
    checked += 1
    properties = {p['name']: p['value'] for p in test.get('properties', [])}
    if 'desktop' not in properties.get('RESOURCE_LOCK', []) and not properties.get('RUN_SERIAL'):
        unlocked.append(test['name'])
print(f'{checked} tests show a window in front or start the program whole')
if unlocked:
    sys.exit('neither locked to the desktop nor run alone: ' + ', '.join(unlocked))

#!/usr/bin/env python3
"""Checks the include directions of src/: prints every include that goes the wrong way, with
its file and line, and exits with 1 when there is one.

The core never sees the windows or the programs; the batch tool never sees the windows; a window
piece never sees the main window nor another piece (what two pieces share lives in
gui/widgets); inside the core, base stands alone, plan stands on base only, room finding
on plan and base, the ZIP layer knows
nothing of the project model, the model sees neither archive nor reports, leases stand on base,
plan and model (reports and archive may use them), and reports and archive do not see each other."""
import os
import re
import sys

# Quoted includes, and the project's own headers however they are bracketed.
INCLUDE = re.compile(r'^\s*#\s*include\s+(?:"([^"]+)"|<((?:core|gui|app|cli)/[^>]+)>)')


def folder(path):
    """'core/plan' for 'core/plan/floodfill.h', 'app' for 'app/main.cpp'."""
    parts = path.split('/')
    if parts[0] in ('core', 'gui') and len(parts) > 2:
        return parts[0] + '/' + parts[1]
    return parts[0]


def forbidden(source, target):
    """Why `source` may not include `target` (both relative to src/), or None."""
    s, t = folder(source), folder(target)
    if s == t:
        return None
    if s.startswith('core/') and not t.startswith('core/'):
        return 'the core includes nothing outside the core'
    if s == 'cli' and t.startswith('gui/'):
        return 'the batch tool links the core only'
    if s.startswith('gui/') and t in ('app', 'cli'):
        return 'the windows do not include the programs'
    if s.startswith('gui/') and s != 'gui/mainwindow' and t.startswith('gui/'):
        if t == 'gui/mainwindow':
            return 'a window piece does not include the main window'
        if t != 'gui/widgets' or s == 'gui/widgets':
            return 'window pieces share through gui/widgets only'
    if s == 'core/base' and t.startswith('core/'):
        return 'base includes no other core folder'
    if s == 'core/plan' and t in ('core/model', 'core/archive', 'core/reports', 'core/rooms'):
        return 'plan stands on base only'
    if s == 'core/rooms' and t in ('core/model', 'core/archive', 'core/reports'):
        return 'room finding stands on plan and base only'
    if s == 'core/model' and t in ('core/archive', 'core/reports'):
        return 'the model stands below the archive and the reports'
    if s == 'core/archive' and os.path.basename(source).startswith('zip') and t == 'core/model':
        return 'the ZIP layer knows nothing of the project model'
    if s == 'core/leases' and t in ('core/archive', 'core/reports', 'core/rooms'):
        return 'leases stand on base, plan and model only'
    if t == 'core/leases' and s in ('core/base', 'core/plan', 'core/model', 'core/rooms'):
        return 'leases stand above base, plan and model'
    if {s, t} == {'core/reports', 'core/archive'}:
        return 'reports and archive do not include each other'
    return None


def main():
    src = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '../../src'))
    faults = 0
    for directory, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(directory, name)
            source = os.path.relpath(path, src)
            with open(path, encoding='utf-8') as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    name = m.group(1) or m.group(2)
                    local = os.path.normpath(os.path.join(directory, name))
                    target = os.path.relpath(local, src) if os.path.exists(local) else name
                    why = forbidden(source, target)
                    if why:
                        print(f'src/{source}:{number}: includes "{name}": {why}')
                        faults += 1
    if faults:
        print(f'{faults} include(s) against the layering')
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())

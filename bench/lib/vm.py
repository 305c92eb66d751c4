"""Connection timings in the end-to-end test machine (tests/e2e/run_in_vm.py): one
boot, in which bench-connect runs for every program in turn."""

import shlex
import subprocess
import sys
from pathlib import Path

FIGURES = ["added_found_ms", "found_timer_ms", "found_grid_ms", "transfers_ms", "answer_grid_ms", "stall_connect_ms", "stall_connect_net_ms",
           "stall_save_ms", "stall_defaults_ms", "scan_ms", "open_ms"]


def connect_timings(top, build, programs, runs, timeout_s):
    """programs: {name: path of bench-connect}. Returns {name: {figure: median}} and
    the floor of found -> grid."""
    loop = " ".join(
        f"echo {shlex.quote('== ' + name)}; {shlex.quote(str(path))} --runs 1 || exit 1;"
        for name, path in programs.items())
    script = f"for i in $(seq {runs}); do {loop} done"
    results = Path(build) / "bench" / "vm-results"
    command = [sys.executable, str(Path(top) / "tests/e2e/run_in_vm.py"),
               "--cache", str(Path(build) / "e2e-kernel"), "--results", str(results),
               "--workdir", str(build), "--keep", str(top), "--timeout", str(timeout_s),
               "--env", "QT_QPA_PLATFORM=offscreen", "--env", "LC_ALL=C.UTF-8",
               "--", "/bin/sh", "-c", script]
    result = subprocess.run(command, capture_output=True, text=True)
    log = result.stdout + result.stderr
    (results / "bench-console.txt").write_text(log)
    if result.returncode != 0:
        raise RuntimeError("the test machine failed; its output is in "
                           f"{results / 'bench-console.txt'}:\n" + log[-3000:])
    values = {name: {f: [] for f in FIGURES} for name in programs}
    floor = None
    current = None
    for line in log.splitlines():
        if line.startswith("== ") and line[3:] in programs:
            current = line[3:]
        elif "timing: connect-bench run" in line and current:
            for item in line.split(":", 2)[2].split():
                key, _, value = item.partition("=")
                if key in values[current]:
                    values[current][key].append(float(value))
                elif key == "found_grid_floor_ms":
                    floor = float(value)
    machine = next((l for l in log.splitlines() if "machine ran" in l), "")
    return values, floor, machine.strip()

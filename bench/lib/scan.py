"""Re-scan cost against the number of HID devices, from bench-scan-cost."""

import os
import subprocess

from stats import median

COUNTS = [1, 10, 100, 1000]


def scan_cost(program, runs):
    """{count: {"scan_us", "hotplug_us", "opened", "listed"}} as medians of runs."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    collected = {count: [] for count in COUNTS}
    for _ in range(runs):
        result = subprocess.run([program, *map(str, COUNTS)], env=env, capture_output=True,
                                text=True, timeout=600)
        if result.returncode != 0:
            raise RuntimeError(f"{program} failed: {result.stderr.strip()}")
        for line in result.stdout.splitlines():
            fields = dict(item.partition("=")[::2] for item in line.split())
            if "error" in fields:
                raise RuntimeError(f"{program}: {line}")
            collected[int(fields["devices"])].append(fields)
    return {count: {
        "scan_us": median([float(f["scan_us"]) for f in runs_of]),
        "hotplug_us": median([float(f["hotplug_us"]) for f in runs_of]),
        "opened": max(int(f["opened"]) for f in runs_of),
        "stick_opened": min(int(f["stick_opened"]) for f in runs_of),
    } for count, runs_of in collected.items()}

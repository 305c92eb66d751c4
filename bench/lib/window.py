"""Start-up, memory and idle figures of programs that open one window, measured from
outside by bench-window-probe on an Xvfb of their own, in interleaved runs."""

import os
import subprocess
import tempfile

from stats import median

TICK_MS = 25  # the main window's icon timer, and the baseline's timer


def probe_once(probe, program, display, probe_args):
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    env.setdefault("XDG_RUNTIME_DIR", tempfile.gettempdir())
    result = subprocess.run([probe, *probe_args, "--", program], env=env,
                            capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise RuntimeError(f"window probe failed on {program}: {result.stderr.strip()}")
    figures = {}
    for item in result.stdout.split():
        key, _, value = item.partition("=")
        figures[key] = float(value)
    return figures


def interleaved(probe, programs, display, runs, probe_args, progress):
    """{name: [figures of each run]}; the order of the programs turns every round."""
    results = {name: [] for name in programs}
    names = list(programs)
    for run in range(runs):
        order = names if run % 2 == 0 else names[::-1]
        for name in order:
            results[name].append(probe_once(probe, programs[name], display, probe_args))
        progress(run + 1, runs)
    return results


def medians(runs_of_one, key, scale=1.0):
    return median([r[key] * scale for r in runs_of_one if key in r])


def start_up(probe, programs, display, runs, progress):
    results = interleaved(probe, programs, display, runs, ["--quiet-ms", "150"], progress)
    return {name: {
        "frame_ms": medians(r, "frame_ms"),
        "map_ms": medians(r, "map_ms"),
        "cpu_ms": medians(r, "cpu_ms"),
        "peak_rss_mib": medians(r, "maxrss_kib", 1 / 1024),
    } for name, r in results.items()}


def memory_and_idle(probe, programs, display, runs, idle_s, progress):
    idle_ms = int(idle_s * 1000)
    results = interleaved(probe, programs, display, runs,
                          ["--hold-ms", "2000", "--idle-ms", str(idle_ms)], progress)
    ticks = idle_ms / TICK_MS
    return {name: {
        "rss_2s_mib": medians(r, "rss_kib", 1 / 1024),
        "hwm_2s_mib": medians(r, "hwm_kib", 1 / 1024),
        "idle_cpu_ms": medians(r, "idle_cpu_ms", 20.0 / idle_s),
        "idle_wakeups_s": medians(r, "idle_wakeups", 1 / idle_s),
        "idle_repaints_tick": medians(r, "idle_repaints", 1 / ticks),
    } for name, r in results.items()}

"""The printed tables: each program's median beside the baseline's, with the ratio."""

from scan import COUNTS
from stats import fmt, median, print_table, ratio

WINDOW_ROWS = [
    # key, label, unit digits, how it compares with the baseline
    ("frame_ms", "exec -> first frame painted (ms)", 1, "ratio"),
    ("map_ms", "exec -> window mapped (ms)", 1, "ratio"),
    ("cpu_ms", "CPU of the run to first frame + SIGTERM (ms)", 1, "ratio"),
    ("peak_rss_mib", "peak RSS of that run (MiB)", 1, "mib"),
    ("hwm_2s_mib", "peak RSS 2 s after start (MiB)", 1, "mib"),
    ("rss_2s_mib", "steady RSS 2 s after start (MiB)", 1, "mib"),
    ("idle_cpu_ms", "idle CPU over 20 s (ms)", 1, "ratio"),
    ("idle_wakeups_s", "idle wake-ups per second", 1, "ratio"),
    ("idle_repaints_tick", "idle repaints per 25 ms tick", 3, "none"),
]


def compare(value, base, how):
    if how == "ratio":
        r = ratio(value, base)
        return "-" if r is None else f"{r:.2f}x"
    if how == "mib":
        if value is None or base is None:
            return "-"
        return f"{value / base:.2f}x ({value - base:+.1f} MiB)"
    return ""


def print_window(start, idle, names, baseline, args):
    measured = [n for n in names if n != baseline]
    header = ["figure"] + names + [f"{n} / {baseline}" for n in measured]
    rows = []
    for key, label, digits, how in WINDOW_ROWS:
        source = start if key in next(iter(start.values())) else idle
        row = [label] + [fmt(source[n][key], digits) for n in names]
        row += [compare(source[n][key], source[baseline][key], how) for n in measured]
        rows.append(row)
    print_table(f"start-up ({args.runs} runs), memory and idle ({args.idle_runs} runs of "
                f"{args.idle_s:g} s): medians of interleaved runs", header, rows)


def print_scan(scans):
    for name, by_count in scans.items():
        header = ["HID devices", "per scan (us)", "per device (us)", "x per 10x devices",
                  "per hotplug event (us)", "x per 10x devices", "devices opened"]
        rows = []
        previous = None
        for count in COUNTS:
            f = by_count[count]
            growth = ["-", "-"] if previous is None else [
                fmt(ratio(f["scan_us"], previous["scan_us"]), 1) + "x",
                fmt(ratio(f["hotplug_us"], previous["hotplug_us"]), 1) + "x"]
            opened = f"{f['opened']} (stick: {'yes' if f['stick_opened'] else 'no'})"
            rows.append([str(count), fmt(f["scan_us"], 2), fmt(f["scan_us"] / count, 3), growth[0],
                         fmt(f["hotplug_us"], 2), growth[1], opened])
            previous = f
        print_table(f"re-scan cost, {name} (simulated devices, one of them the stick; "
                    "linear growth is 10x per 10x devices)", header, rows)


def print_vm(values, floor, machine):
    names = list(values)
    header = ["figure (test machine)"] + names + ["floor"]
    labels = {
        "added_found_ms": ("hidraw node added -> stick found (ms)", "0"),
        "found_timer_ms": ("stick found -> 100 ms timer fired (ms)", "100"),
        "found_grid_ms": ("stick found -> grid filled (ms)", fmt(floor, 0)),
        "transfers_ms": ("  of which the read's three transfers (ms)", "-"),
        "answer_grid_ms": ("  of which answer -> grid filled (ms)", "-"),
        "stall_connect_ms": ("longest UI stall, connect (ms)", "-"),
        "stall_connect_net_ms": ("  the same, less the protocol's pauses (ms)", "0"),
        "stall_save_ms": ("longest UI stall, Save (ms)", "0"),
        "stall_defaults_ms": ("longest UI stall, Load defaults (ms)", "0"),
        "scan_ms": ("  of the UI thread's time: longest device re-scan (ms)", "-"),
        "open_ms": ("  of the UI thread's time: opening the stick (ms)", "-"),
    }
    rows = []
    for key, (label, floor_text) in labels.items():
        rows.append([label] + [fmt(median(values[n][key])) for n in names] + [floor_text])
    runs = max(len(v) for n in names for v in values[n].values())
    if floor is not None:
        rows.append(["stick found -> grid filled, over the floor (ms)"] +
                    [fmt(None if median(values[n]["found_grid_ms"]) is None
                         else median(values[n]["found_grid_ms"]) - floor) for n in names] + ["0"])
    print_table(f"connection in the test machine: medians of {runs} runs, interleaved", header, rows)
    if machine:
        print("  " + machine)

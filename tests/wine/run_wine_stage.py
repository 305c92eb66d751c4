#!/usr/bin/env python3
"""The Wine stage: prepares a Wine prefix on this machine and runs a test program in
the QEMU test machine with it, so that the Windows build of vorlane-cli meets a virtual
stick through Wine's HID stack.

The prefix is made here, natively, because "wineboot -i" under the machine's software
emulation takes minutes. winebus.sys is set up to take devices from hidraw only: its
SDL backend would keep the hidraw backend from starting where libSDL2 is missing, and
the machine runs no udev daemon, so winebus lists /dev/hidraw* itself. A stick must be
plugged in before Wine's services start: one plugged in later was not found (Wine 8.0). The machine runs with the CPU model max,-smap: with SMAP, Wine's processes die
of a page fault under TCG.

Needs: wine, wine64 and what tests/e2e/run_in_vm.py needs.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

WINEBUS_KEY = r"HKLM\System\CurrentControlSet\Services\winebus"
WINEBUS_VALUES = {"Enable SDL": 0, "DisableInput": 1, "DisableUdevd": 1}
CPU_MODEL = "max,-smap"


def log(message):
    print(f"vorlane-wine: {message}", flush=True)


def prepare_prefix(prefix, environment, log_file):
    """A fresh prefix with winebus set up; Wine's output goes to log_file."""
    if prefix.exists():
        shutil.rmtree(prefix)
    prefix.parent.mkdir(parents=True, exist_ok=True)
    commands = [["wine", "wineboot", "--init"]]
    for name, value in WINEBUS_VALUES.items():
        commands.append(["wine", "reg", "add", WINEBUS_KEY, "/v", name, "/t", "REG_DWORD",
                         "/d", str(value), "/f"])
    # The registry reaches its files when the server ends.
    commands += [["wineserver", "--kill"], ["wineserver", "--wait"]]
    with open(log_file, "w") as out:
        for command in commands:
            out.write(f"$ {' '.join(command)}\n")
            out.flush()
            try:
                status = subprocess.run(command, env=environment, stdin=subprocess.DEVNULL,
                                        stdout=out, stderr=subprocess.STDOUT).returncode
            except FileNotFoundError:
                raise SystemExit(f"vorlane-wine: error: {command[0]} is missing "
                                 "(install the Debian packages wine and wine64)")
            # wineserver --kill fails when no server runs, which is fine.
            if status != 0 and command[0] != "wineserver":
                raise SystemExit(f"vorlane-wine: error: {' '.join(command)} failed with "
                                 f"status {status}; see {log_file}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", type=Path, required=True, help="vorlane-cli.exe")
    parser.add_argument("--prefix", type=Path, required=True, help="where the Wine prefix goes")
    parser.add_argument("--vm", type=Path, required=True, help="tests/e2e/run_in_vm.py")
    parser.add_argument("--cache", required=True)
    parser.add_argument("--results", type=Path, required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--keep", action="append", default=[])
    parser.add_argument("--timeout", default="600")
    parser.add_argument("command", nargs="+", help="test program to run in the machine")
    args = parser.parse_args()

    if not args.exe.is_file():
        log(f"error: {args.exe} does not exist: build the Windows tools first "
            "(the build-mingw stage of tools/dev)")
        return 1
    args.results.mkdir(parents=True, exist_ok=True)
    prefix = args.prefix.resolve()
    environment = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all",
                       WINEDLLOVERRIDES="mscoree,mshtml=")
    environment.pop("DISPLAY", None)

    started = time.monotonic()
    prepare_prefix(prefix, environment, args.results / "wine-prefix.log")
    prepared = time.monotonic()
    log(f"timing: Wine prefix prepared in {prepared - started:.1f} s")

    vm = [sys.executable, str(args.vm), "--cache", args.cache, "--results", str(args.results),
          "--workdir", args.workdir, "--timeout", args.timeout, "--cpu-model", CPU_MODEL,
          "--keep", str(prefix)]
    for path in args.keep:
        vm += ["--keep", path]
    for variable in (f"WINEPREFIX={prefix}", "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=",
                     f"VORLANE_WINDOWS_CLI={args.exe.resolve()}", "LC_ALL=C.UTF-8",
                     "QTEST_DISABLE_STACK_DUMP=1", "QTEST_FUNCTION_TIMEOUT=600000"):
        vm += ["--env", variable]
    status = subprocess.run(vm + ["--"] + args.command).returncode
    ended = time.monotonic()
    log(f"timing: wine stage took {ended - started:.1f} s (prefix {prepared - started:.1f} s, "
        f"machine and tests {ended - prepared:.1f} s); status {status}")
    shutil.rmtree(prefix, ignore_errors=True)
    return status


if __name__ == "__main__":
    sys.exit(main())

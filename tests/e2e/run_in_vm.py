#!/usr/bin/env python3
"""Runs one command in a small QEMU machine that boots Debian's own kernel, so that
tests meet the real Linux HID stack: uhid, hid-generic, hidraw nodes and uevents.

The guest sees the host's root file system read-only over 9p, under a tmpfs overlay
(so host paths, build directories included, stay writable in the guest without the
host being touched), and runs the command there as root, chrooted, from --workdir.
One host directory, --results, is shared writable at its own path for artifacts.
The command's output goes to this program's standard output through the serial
console; its exit status becomes this program's exit status.

The kernel and the few modules the guest needs come from the linux-image package
that Debian's linux-image-amd64 currently depends on, fetched with apt-get download
and unpacked without being installed, once, into --cache.

Needs: qemu-system-x86, busybox-static, cpio, kmod (modinfo), apt.
"""

import argparse
import json
import lzma
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

BUSYBOX = Path("/bin/busybox")
INIT_SCRIPT = Path(__file__).with_name("guest_init.sh")

# What the guest loads, with everything these depend on. hid-generic must be there
# before the first virtual device: no udevd loads it on demand.
GUEST_MODULES = ["virtio_pci", "9pnet_virtio", "9p", "overlay", "uhid", "hid-generic"]

XZ_MAGIC = b"\xfd7zXZ\x00"
EXIT_STATUS_FILE = "vm-exit-status"
STATUS_TIMED_OUT = 124
# Passed on from the host, so that a sanitizer build is checked in the guest as set up.
FORWARDED_VARIABLES = ["ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"]


class HarnessError(Exception):
    pass


def log(message):
    print(f"vorlane-e2e: {message}", flush=True)


def run(args, cwd=None):
    try:
        result = subprocess.run(args, cwd=cwd, capture_output=True, text=True)
    except FileNotFoundError as e:
        raise HarnessError(f"{args[0]} is missing: {e}") from e
    if result.returncode != 0:
        raise HarnessError(f"{shlex.join(args)} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def module_key(name):
    # Module names spell '-' and '_' alike.
    return name.replace("-", "_")


# --- kernel and modules -----------------------------------------------------------

def current_kernel_package():
    """The linux-image package that linux-image-amd64 depends on now. As root, the
    package lists are fetched first when apt has none yet (a freshly set-up machine)."""
    def ask():
        found = re.search(r"Depends:\s*(linux-image-\S+)",
                          run(["apt-cache", "depends", "linux-image-amd64"]))
        return found.group(1) if found else None

    try:
        package = ask()
    except HarnessError:
        package = None
    if package is None and os.geteuid() == 0:
        log("apt knows no linux-image-amd64 yet: running apt-get update")
        run(["apt-get", "update"])
        package = ask()
    if package is None:
        raise HarnessError("apt knows no linux-image-amd64 (run 'apt-get update' first, "
                           "or name a package in VORLANE_E2E_KERNEL_PACKAGE)")
    return package


def extract_vmlinux(bzimage, target):
    """Debian's bzImage holds the kernel as an XZ-compressed ELF file. The ELF file,
    booted directly (the kernel has PVH entry), saves decompressing it under
    emulation at every boot. Falls back to the bzImage when it is packed otherwise."""
    data = bzimage.read_bytes()
    start = data.find(XZ_MAGIC)
    if start >= 0:
        elf = lzma.LZMADecompressor(format=lzma.FORMAT_XZ).decompress(data[start:])
        if elf.startswith(b"\x7fELF"):
            target.write_bytes(elf)
            return
    log(f"{bzimage.name} holds no XZ-compressed ELF kernel; booting the bzImage itself")
    shutil.copyfile(bzimage, target)


def module_closure(files, wanted):
    """The wanted modules and all they depend on, as {name: [dependencies]}."""
    deps = {}
    todo = [module_key(m) for m in wanted]
    while todo:
        name = todo.pop()
        if name in deps:
            continue
        if name not in files:
            raise HarnessError(f"the kernel package has no module {name}")
        out = run(["modinfo", "-F", "depends", str(files[name])]).strip()
        deps[name] = [module_key(d) for d in out.split(",") if d]
        todo.extend(deps[name])
    return deps


def copy_module(source, target):
    if source.name.endswith(".ko.xz"):
        target.write_bytes(lzma.decompress(source.read_bytes()))
    elif source.name.endswith(".ko"):
        shutil.copyfile(source, target)
    else:
        raise HarnessError(f"cannot unpack module {source.name}")


def cached_modules(kernel_dir):
    """{name: [dependencies]} of a complete cache entry (deps.json is written last)."""
    deps_file = kernel_dir / "modules/deps.json"
    return json.loads(deps_file.read_text()) if deps_file.exists() else {}


def prepare_kernel(cache):
    """Returns the cache directory of the current kernel: vmlinux, modules/*.ko and
    modules/deps.json. Downloads and unpacks the package only when it is not cached
    yet, or was cached without a module the guest now loads."""
    package = os.environ.get("VORLANE_E2E_KERNEL_PACKAGE") or current_kernel_package()
    kernel_dir = cache / package
    cached = cached_modules(kernel_dir)
    if all(module_key(m) in cached for m in GUEST_MODULES):
        return kernel_dir, False

    log(f"fetching {package} (cached in {kernel_dir} for later runs)")
    if kernel_dir.exists():
        shutil.rmtree(kernel_dir)
    (kernel_dir / "modules").mkdir(parents=True)
    with tempfile.TemporaryDirectory(dir=cache) as tmp:
        tmp = Path(tmp)
        download = ["apt-get", "download", package]
        if os.geteuid() == 0:
            download[1:1] = ["-o", "APT::Sandbox::User=root"]
        run(download, cwd=tmp)
        deb = next(tmp.glob("*.deb"))
        run(["dpkg-deb", "-x", str(deb), str(tmp / "root")])
        deb.unlink()

        bzimage = next((tmp / "root/boot").glob("vmlinuz-*"))
        extract_vmlinux(bzimage, kernel_dir / "vmlinux")

        files = {}
        for path in (tmp / "root/lib/modules").glob("*/kernel/**/*.ko*"):
            files[module_key(path.name.split(".ko")[0])] = path
        deps = module_closure(files, GUEST_MODULES)
        for name in deps:
            copy_module(files[name], kernel_dir / "modules" / f"{name}.ko")
        (kernel_dir / "modules/deps.json").write_text(json.dumps(deps, indent=1))
    return kernel_dir, True


def load_order(deps, wanted):
    """Modules in an order that loads every module after the ones it needs."""
    order = []

    def visit(name):
        if name not in order:
            for dep in deps[name]:
                visit(dep)
            order.append(name)

    for name in wanted:
        visit(module_key(name))
    return order


# --- initramfs --------------------------------------------------------------------

def is_static_elf(path):
    """True for an ELF file without a program interpreter (statically linked)."""
    with open(path, "rb") as f:
        header = f.read(64)
        if header[:4] != b"\x7fELF" or header[4] != 2:
            return False
        phoff, = struct.unpack_from("<Q", header, 0x20)
        phentsize, phnum = struct.unpack_from("<HH", header, 0x36)
        f.seek(phoff)
        table = f.read(phentsize * phnum)
    pt_interp = 3
    return all(struct.unpack_from("<I", table, i * phentsize)[0] != pt_interp
               for i in range(phnum))


def guest_command(workdir, env, command):
    lines = ["export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin",
             "export HOME=/run/home XDG_RUNTIME_DIR=/run/user/0 LANG=C.UTF-8 TERM=dumb"]
    lines += [f"export {shlex.quote(item)}" for item in env]
    lines += [f"cd {shlex.quote(str(workdir))} || exit 125",
              f"exec {shlex.join(command)} </dev/null 2>&1"]
    return "\n".join(lines) + "\n"


def build_initramfs(target, kernel_dir, results, command_script, keep):
    if not is_static_elf(BUSYBOX):
        raise HarnessError(f"{BUSYBOX} is not statically linked (install busybox-static)")
    deps = json.loads((kernel_dir / "modules/deps.json").read_text())
    order = load_order(deps, GUEST_MODULES)
    with tempfile.TemporaryDirectory() as tmp:
        root = Path(tmp)
        for d in ("bin", "dev", "proc", "sys", "e2e/modules"):
            (root / d).mkdir(parents=True)
        shutil.copy(BUSYBOX, root / "bin/busybox")
        shutil.copy(INIT_SCRIPT, root / "init")
        (root / "init").chmod(0o755)
        for name in order:
            shutil.copy(kernel_dir / "modules" / f"{name}.ko", root / "e2e/modules")
        (root / "e2e/modules/order").write_text("\n".join(order) + "\n")
        (root / "e2e/settings").write_text(f"RESULTS={shlex.quote(str(results))}\n"
                                           f"STATUS_FILE={EXIT_STATUS_FILE}\n")
        (root / "e2e/command").write_text(command_script)
        (root / "e2e/keep").write_text("".join(f"{path}\n" for path in keep))
        names = sorted(str(p.relative_to(root)) for p in root.rglob("*"))
        with open(target, "wb") as out:
            subprocess.run(["cpio", "--quiet", "-o", "-H", "newc", "-R", "0:0"], cwd=root,
                           input="\n".join(names).encode(), stdout=out, check=True)


# --- the machine ------------------------------------------------------------------

def qemu_command(kernel, initramfs, results, memory_mb, cpus, cpu_model):
    # The pc machine under TCG: it boots about as fast as microvm here, and unlike
    # microvm needs no TSC rate from the host to boot reliably.
    append = ["console=ttyS0", "quiet", "loglevel=3", "panic=-1", "8250.nr_uarts=1"]
    return [
        "qemu-system-x86_64", "-M", "pc", "-accel", "tcg", "-cpu", cpu_model,
        "-smp", str(cpus), "-m", str(memory_mb),
        "-nodefaults", "-no-user-config", "-display", "none", "-no-reboot",
        "-serial", "stdio", "-monitor", "none",
        "-kernel", str(kernel), "-initrd", str(initramfs), "-append", " ".join(append),
        "-fsdev", "local,id=hostroot,path=/,security_model=none,readonly=on,multidevs=remap",
        "-device", "virtio-9p-pci,fsdev=hostroot,mount_tag=hostroot",
        "-fsdev", f"local,id=results,path={results},security_model=none,multidevs=remap",
        "-device", "virtio-9p-pci,fsdev=results,mount_tag=results",
    ]


def run_machine(args, timeout, console_log):
    """Runs QEMU, copying the console to standard output and console_log. Returns
    False when the timeout expired and the machine was stopped."""
    try:
        qemu = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
    except FileNotFoundError as e:
        raise HarnessError(f"{args[0]} is missing (install qemu-system-x86)") from e

    def copy_console():
        with open(console_log, "wb") as out:
            for line in qemu.stdout:
                line = line.replace(b"\r", b"")
                out.write(line)
                sys.stdout.buffer.write(line)
                sys.stdout.flush()

    reader = threading.Thread(target=copy_console, daemon=True)
    reader.start()
    try:
        qemu.wait(timeout=timeout)
        finished = True
    except subprocess.TimeoutExpired:
        qemu.kill()
        qemu.wait()
        finished = False
    reader.join(timeout=5)
    return finished


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cache", type=Path, required=True,
                        help="directory that keeps the unpacked kernel between runs")
    parser.add_argument("--workdir", type=Path, default=Path.cwd(),
                        help="directory the command starts in (default: the current one)")
    parser.add_argument("--keep", type=Path, action="append", default=[], metavar="DIR",
                        help="host directory the command needs besides --workdir "
                             "(repeatable); the guest has a fresh /tmp, and these stay "
                             "reachable even where they lie under /tmp")
    parser.add_argument("--results", type=Path, required=True,
                        help="host directory shared writable with the guest, at its own path")
    parser.add_argument("--timeout", type=float, default=240,
                        help="seconds the machine may run, from boot to power-off "
                             "(default 240)")
    parser.add_argument("--memory", type=int, default=2048, help="guest memory in MiB")
    parser.add_argument("--cpus", type=int, default=2, help="virtual CPUs")
    parser.add_argument("--cpu-model", default="max",
                        help="QEMU CPU model (default max; Wine needs max,-smap: with SMAP "
                             "every Wine process dies of a page fault under TCG)")
    parser.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                        help="environment variable for the command (repeatable); the "
                             "command gets no other variables of the host but "
                             + ", ".join(FORWARDED_VARIABLES))
    parser.add_argument("command", nargs="+", help="command to run in the guest")
    args = parser.parse_args()

    started = time.monotonic()
    try:
        args.cache.mkdir(parents=True, exist_ok=True)
        args.results.mkdir(parents=True, exist_ok=True)
        results = args.results.resolve()
        exit_status = results / EXIT_STATUS_FILE
        exit_status.unlink(missing_ok=True)

        kernel_dir, fetched = prepare_kernel(args.cache.resolve())
        prepared = time.monotonic()
        log(f"kernel {kernel_dir.name} {'fetched' if fetched else 'cached'}, "
            f"ready in {prepared - started:.1f} s")

        with tempfile.TemporaryDirectory() as tmp:
            initramfs = Path(tmp) / "initramfs.cpio"
            env = [f"{name}={os.environ[name]}" for name in FORWARDED_VARIABLES
                   if name in os.environ] + args.env
            script = guest_command(args.workdir.resolve(), env, args.command)
            keep = [path.resolve() for path in [args.workdir, *args.keep]]
            build_initramfs(initramfs, kernel_dir, results, script, keep)
            qemu = qemu_command(kernel_dir / "vmlinux", initramfs, results, args.memory, args.cpus,
                                args.cpu_model)
            machine_started = time.monotonic()
            finished = run_machine(qemu, args.timeout, results / "console.log")
    except (HarnessError, OSError) as e:
        log(f"error: {e}")
        return 1

    ended = time.monotonic()
    log(f"machine ran {ended - machine_started:.1f} s; total {ended - started:.1f} s")
    if not finished:
        log(f"error: the machine did not finish within the timeout of {args.timeout:g} s "
            "and was stopped; the console output above shows how far it came")
        return STATUS_TIMED_OUT
    if not exit_status.exists():
        log("error: the machine stopped without the command's exit status "
            "(a kernel panic or a failing guest init; see the console output above)")
        return 1
    status = int(exit_status.read_text().strip() or 1)
    log(f"command exit status {status}")
    return status


if __name__ == "__main__":
    sys.exit(main())

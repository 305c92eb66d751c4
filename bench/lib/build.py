"""Building the programs the benchmark measures, in Release."""

import shutil
import subprocess
from pathlib import Path

TARGETS = ["vorlane", "bench-bare-window", "bench-window-probe", "bench-scan-cost"]
VM_TARGETS = ["bench-connect", "virtual-stick"]


def run(args, log):
    with open(log, "a") as out:
        out.write("$ " + " ".join(map(str, args)) + "\n")
        out.flush()
        if subprocess.run(args, stdout=out, stderr=subprocess.STDOUT).returncode != 0:
            raise RuntimeError(f"{' '.join(map(str, args))} failed; see {log}")


def build(source, build_dir, targets, jobs, configure=True):
    build_dir = Path(build_dir)
    build_dir.mkdir(parents=True, exist_ok=True)
    log = build_dir / "bench-build.log"
    log.write_text("")
    if configure:
        run(["cmake", "-S", source, "-B", build_dir, "-G", "Ninja",
             "-DCMAKE_BUILD_TYPE=Release"], log)
    run(["cmake", "--build", build_dir, "-j", str(jobs), "--target", *targets], log)


def export_revision(top, revision, target):
    """The tree of an earlier commit, with this tree's bench/ in it so that the same
    probes are built against that commit's program."""
    target = Path(target)
    commit = subprocess.run(["git", "-C", top, "rev-parse", "--verify", revision + "^{commit}"],
                            capture_output=True, text=True)
    if commit.returncode != 0:
        raise RuntimeError(f"no commit {revision}")
    stamp = target / ".commit"
    if not (stamp.exists() and stamp.read_text() == commit.stdout):
        if target.exists():
            shutil.rmtree(target)
        target.mkdir(parents=True)
        archive = subprocess.Popen(["git", "-C", top, "archive", commit.stdout.strip()],
                                   stdout=subprocess.PIPE)
        subprocess.run(["tar", "-x", "-C", target], stdin=archive.stdout, check=True)
        if archive.wait() != 0:
            raise RuntimeError(f"git archive {revision} failed")
        lists = target / "CMakeLists.txt"
        text = lists.read_text()
        if "add_subdirectory(bench)" not in text:
            lists.write_text(text + "\nadd_subdirectory(bench)\n")
        stamp.write_text(commit.stdout)
    # The probes as they are now, every time (files that did not change keep their
    # times, so nothing is rebuilt for them).
    shutil.copytree(Path(top) / "bench", target / "bench", dirs_exist_ok=True)
    return target

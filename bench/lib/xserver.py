"""An Xvfb of the benchmark's own, so that nothing else draws on its screen."""

import os
import subprocess


class Xvfb:
    def __init__(self, width=1280, height=1024):
        self.size = f"{width}x{height}x24"
        self.process = None
        self.display = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.size,
             "-nolisten", "tcp", "-noreset"],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            self.process.kill()
            raise RuntimeError("Xvfb did not start (is the xvfb package installed?)")
        self.display = f":{number}"
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        self.process.wait()

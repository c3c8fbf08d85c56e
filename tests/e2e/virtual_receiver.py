"""The virtual receiver as the end-to-end tests start it: a vestrel-sim of its own on a pseudo-terminal."""
import os
import subprocess
import tempfile
import time


class Receiver:
    def __init__(self, sim, work, *sim_args):
        path_file = tempfile.mkdtemp(dir=work) + "/pty"
        self.sim = subprocess.Popen([sim, "--path-file", path_file, *sim_args], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(path_file) and os.path.getsize(path_file) > 0:
                break
            time.sleep(0.05)
        self.port = open(path_file).read().strip()

    def stop(self):
        self.sim.terminate()
        self.sim.wait()

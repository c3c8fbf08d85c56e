"""A PostgreSQL server of a test's own: initdb and pg_ctl as an unprivileged user, a data folder in
the test's temporary folder, 127.0.0.1 on a free port, password authentication (the superuser
"line" with the password given)."""
import glob
import os
import pwd
import shutil
import socket
import subprocess


def server_programs():
    """The folder of the newest installed server's programs; None when there is none (or no psql)."""
    bin_dirs = sorted(glob.glob("/usr/lib/postgresql/*/bin/initdb"))
    return os.path.dirname(bin_dirs[-1]) if bin_dirs and shutil.which("psql") else None


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Server:
    """A PostgreSQL server of the test's own; as root its programs run as the user postgres."""

    def __init__(self, work, bin_dir, password):
        self.bin = bin_dir
        self.dir = work + "/server"
        os.mkdir(self.dir)
        self.as_user = []
        if os.geteuid() == 0:
            owner = pwd.getpwnam("postgres")
            os.chown(self.dir, owner.pw_uid, owner.pw_gid)
            self.as_user = ["runuser", "-u", "postgres", "--"]
        with open(self.dir + "/password", "w") as f:
            f.write(password + "\n")
        if self.as_user:
            os.chown(self.dir + "/password", owner.pw_uid, owner.pw_gid)
        self.port = free_port()
        self.run("initdb", "-D", self.dir + "/data", "-U", "line", "--pwfile=" + self.dir + "/password",
                 "--auth=scram-sha-256", "-E", "UTF8", "--no-sync")
        self.start()

    def run(self, program, *args):
        subprocess.run(self.as_user + [self.bin + "/" + program, *args], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)

    def start(self):
        options = "-p %d -k %s -c listen_addresses=127.0.0.1 -c fsync=off" % (self.port, self.dir)
        self.run("pg_ctl", "-D", self.dir + "/data", "-l", self.dir + "/log", "-o", options, "-w", "-t", "60", "start")

    def stop(self, mode="fast"):
        self.run("pg_ctl", "-D", self.dir + "/data", "-m", mode, "-w", "stop")

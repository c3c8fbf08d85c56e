#!/usr/bin/python3
"""The line's live view with many stations at once: a PostgreSQL server and a vestrel-line of the
benchmark's own (as the line service's tests set them up), an admin signed in, then bench_line_live
with N stations publishing for S seconds while it reads the Now page's event stream.

  bench/line_live.py BUILD [--stations 32] [--seconds 20]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "tests", "e2e"))
from line_setup import ADMIN, ADMIN_PASSWORD, STATIONS_PASSWORD, Client, Line  # noqa: E402
from pg_server import Server, server_programs  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--stations", type=int, default=32)
    parser.add_argument("--seconds", type=int, default=20)
    args = parser.parse_args()
    bin_dir = server_programs()
    if not bin_dir:
        print("skipped: PostgreSQL's server programs are not installed")
        return 77
    root = os.path.join(here, "..")
    work = tempfile.mkdtemp(prefix="vestrel-line-bench-")
    os.chmod(work, 0o755)
    server = Server(work, bin_dir, STATIONS_PASSWORD)
    try:
        # Enough connections for every station's publisher and the service's own.
        server.run("pg_ctl", "-D", server.dir + "/data", "-m", "fast", "-w", "stop")
        with open(server.dir + "/data/postgresql.auto.conf", "a") as conf:
            conf.write("max_connections = %d\n" % (args.stations + 40))
        server.start()
        line = Line(work, server, args.build + "/ui/vestrel", args.build + "/sim/vestrel-sim",
                    args.build + "/line/vestrel-line", root + "/line/static", root + "/packaging/line/read-only-role.sql")
        service, port, _ = line.serve()
        try:
            client = Client(port)
            client.sign_in(ADMIN, ADMIN_PASSWORD)
            proc = subprocess.run([args.build + "/bench/bench_line_live", "--history-db", line.url,
                                   "--line", "127.0.0.1:%d" % port, "--cookie", client.cookies["vl_session"],
                                   "--pid", str(service.pid), "--stations", str(args.stations),
                                   "--seconds", str(args.seconds)], env=line.environment("bench"), timeout=600)
            return proc.returncode
        finally:
            service.terminate()
            service.wait(timeout=30)
    finally:
        server.stop("immediate")
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

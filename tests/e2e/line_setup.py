"""What the line service's tests and benchmark set up: the stations' history on a PostgreSQL server
of the test's own, the documented read-only role, two accounts, a vestrel-line reading through that
role; and a client that makes a browser's requests by hand."""
import http.client
import json
import os
import re
import ssl
import subprocess
import time
import urllib.parse

from pg_server import free_port
from virtual_receiver import Receiver

STATIONS_PASSWORD = "line-secret-7"
READER_PASSWORD = "reader-secret-9"
WRITER_PASSWORD = "writer-secret-5"
ADMIN, ADMIN_PASSWORD = "ann", "ann-password-1"
VIEWER, VIEWER_PASSWORD = "vic", "vic-password-2"


class Line:
    """The server, the stations' history on it, the read-only role and a vestrel-line reading it."""

    def __init__(self, work, server, vestrel, sim, line, static, sql):
        self.work, self.server = work, server
        self.vestrel, self.sim, self.line, self.static = vestrel, sim, line, static
        self.url = "postgresql://line@127.0.0.1:%d/history" % server.port
        self.reader_url = "postgresql://vestrel_line@127.0.0.1:%d/history" % server.port
        self.pgpass = work + "/pgpass"
        with open(self.pgpass, "w") as f:
            f.write("127.0.0.1:%d:*:line:%s\n" % (server.port, STATIONS_PASSWORD))
            f.write("127.0.0.1:%d:*:vestrel_line:%s\n" % (server.port, READER_PASSWORD))
        os.chmod(self.pgpass, 0o600)
        self.psql(self.url.rsplit("/", 1)[0] + "/postgres", "CREATE DATABASE history")
        # A station makes the history's tables; then the role is made as the documentation says.
        subprocess.run([vestrel, "--list-history", "--history-db", self.url], env=self.environment("st-0"),
                       check=True, capture_output=True, timeout=60)
        subprocess.run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-v", "password='%s'" % READER_PASSWORD,
                        "-d", self.url, "-f", sql], env=self.psql_env(), check=True, capture_output=True, timeout=60)
        self.accounts = work + "/accounts"
        for name, role, password in ((ADMIN, "admin", ADMIN_PASSWORD), (VIEWER, "viewer", VIEWER_PASSWORD)):
            subprocess.run([line, "--accounts", self.accounts, "--add-account", name, "--role", role],
                           input=password + "\n", text=True, check=True, timeout=60)
        self.service = None

    def add_writer(self, sql):
        """The documented writer role, for the station API; its URL."""
        with open(self.pgpass, "a") as f:
            f.write("127.0.0.1:%d:*:vestrel_line_writer:%s\n" % (self.server.port, WRITER_PASSWORD))
        subprocess.run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-v", "password='%s'" % WRITER_PASSWORD,
                        "-d", self.url, "-f", sql], env=self.psql_env(), check=True, capture_output=True, timeout=60)
        return "postgresql://vestrel_line_writer@127.0.0.1:%d/history" % self.server.port

    def psql_env(self):
        return {"PGPASSFILE": self.pgpass, "PATH": os.environ["PATH"]}

    def psql(self, url, sql):
        proc = subprocess.run(["psql", "-X", "-q", "-t", "-A", "-v", "ON_ERROR_STOP=1", url, "-c", sql],
                              env=self.psql_env(), capture_output=True, text=True, timeout=60)
        return proc.returncode, proc.stdout.strip(), proc.stderr.strip()

    def environment(self, station):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY") and not k.startswith("PG")}
        env.update({"PGPASSFILE": self.pgpass, "VESTREL_HISTORY_DB": self.url, "VESTREL_STATION": station,
                    "XDG_STATE_HOME": "%s/%s/state" % (self.work, station)})
        return env

    def serve(self, *extra):
        return self.serve_on(free_port(), *extra)

    def serve_on(self, port, *extra):
        log = open(self.work + "/line-%d.log" % port, "w")
        proc = subprocess.Popen([self.line, "--history-db", self.reader_url, "--listen", "127.0.0.1:%d" % port,
                                 "--accounts", self.accounts, "--static", self.static, *extra],
                                env={"PGPASSFILE": self.pgpass, "PATH": os.environ["PATH"]},
                                stdout=log, stderr=subprocess.STDOUT)
        for _ in range(200):
            if "serving" in open(log.name).read():
                break
            time.sleep(0.05)
        return proc, port, log.name

    def load(self, station, receiver_args, source, method, extra=()):
        """One unattended load into a virtual receiver of its own, its JSON events returned."""
        receiver = Receiver(self.sim, self.work, *receiver_args)
        try:
            proc = subprocess.run([self.vestrel, "--json", "--log", "%s/%s.log" % (self.work, station), "/port", receiver.port,
                                   "/source", source, "/capture", method, "/exit", "/run", *extra],
                                  env=self.environment(station), capture_output=True, text=True, timeout=300)
            events = [json.loads(line) for line in proc.stdout.splitlines() if line.startswith("{")]
            return proc.returncode, events
        finally:
            receiver.stop()


class Ca:
    """A certificate authority of the test's own, the service's certificate for localhost, and
    another authority that signed nothing of it."""

    def __init__(self, work):
        self.dir = work + "/ca"
        os.mkdir(self.dir)
        d = self.dir

        def openssl(*args):
            subprocess.run(["openssl", *args], check=True, capture_output=True, timeout=60)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/ca.key", "-out", d + "/ca.pem",
                "-days", "30", "-subj", "/CN=Line test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/service.key", "-out", d + "/service.csr",
                "-subj", "/CN=localhost")
        with open(d + "/ext.cnf", "w") as f:
            f.write("subjectAltName=DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n"
                    "keyUsage=digitalSignature,keyEncipherment\n")
        openssl("x509", "-req", "-in", d + "/service.csr", "-CA", d + "/ca.pem", "-CAkey", d + "/ca.key",
                "-CAcreateserial", "-out", d + "/service.pem", "-days", "30", "-extfile", d + "/ext.cnf")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", d + "/other.key", "-out", d + "/other.pem",
                "-days", "30", "-subj", "/CN=Another CA")
        self.cert, self.key, self.pem, self.other = d + "/service.pem", d + "/service.key", d + "/ca.pem", d + "/other.pem"


class Client:
    """A browser's requests by hand: cookies kept, headers as given."""

    def __init__(self, port, tls=False):
        self.port, self.tls, self.cookies = port, tls, {}

    def request(self, method, path, form=None, headers=None):
        if self.tls:
            conn = http.client.HTTPSConnection("127.0.0.1", self.port, timeout=30,
                                               context=ssl._create_unverified_context())
        else:
            conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        sent = dict(headers or {})
        if self.cookies:
            sent["Cookie"] = "; ".join("%s=%s" % kv for kv in self.cookies.items())
        body = None
        if form is not None:
            body = urllib.parse.urlencode(form)
            sent["Content-Type"] = "application/x-www-form-urlencoded"
        conn.request(method, path, body=body, headers=sent)
        answer = conn.getresponse()
        text = answer.read().decode("utf-8", "replace")
        for value in answer.headers.get_all("Set-Cookie") or []:
            name, _, rest = value.partition("=")
            self.cookies[name] = rest.split(";")[0]
        conn.close()
        return answer.status, answer.headers, text

    def sign_in(self, name, password, headers=None):
        _, _, page = self.request("GET", "/sign-in")
        token = re.search(r'name="form_token" value="([0-9a-f]+)"', page).group(1)
        return self.request("POST", "/sign-in", {"form_token": token, "account": name, "password": password}, headers)

    def form_token(self, path="/now"):
        _, _, page = self.request("GET", path)
        match = re.search(r'name="form_token" value="([0-9a-f]+)"', page)
        return match.group(1) if match else ""

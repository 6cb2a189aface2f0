"""squid on 127.0.0.1 as a caching proxy between the installer and the vendor
server, as an ISP's or a company's would stand: it keeps what it fetched in
memory and answers later requests from that copy while its heuristic says
the copy is fresh (an hour here), unless a request asks it to check with
the origin. Its access log has one line per request with squid's result
(TCP_MEM_HIT, TCP_REFRESH_MODIFIED, ...) and the user who logged in. Given
logins, it asks for one (407, basic authentication, checked by Debian's
basic_ncsa_auth against a password file of its own). Started as root it runs as the
user proxy, which may not reach a folder inside the checkout (a clone under
root's home, mode 0700): all of its files live in a folder of its own under
the system's temporary folder, removed when it stops.
"""
import contextlib
import os
import shutil
import socket
import subprocess
import tempfile
import time

SQUID = shutil.which("squid") or "/usr/sbin/squid"

CONFIG = """\
http_port 127.0.0.1:{port}
pid_filename {work}/squid.pid
cache_log {work}/cache.log
access_log stdio:{work}/access.log
logfile_rotate 0
coredump_dir {work}
netdb_filename none
{user}
cache_mem 32 MB
maximum_object_size_in_memory 16 MB
acl local src 127.0.0.1/32
{access}http_access allow local
http_access deny all
# A copy counts as fresh for an hour, whatever the origin's headers say.
refresh_pattern . 60 100% 60 override-expire ignore-no-store
shutdown_lifetime 0 seconds
via off
"""


# Every request needs a login of the password file.
LOGIN_ACCESS = """\
auth_param basic program /usr/lib/squid/basic_ncsa_auth {work}/passwords
auth_param basic realm Velmora test proxy
auth_param basic children 1
acl login proxy_auth REQUIRED
http_access deny !login
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SquidServer:
    def __init__(self, port=0, logins=None):
        """logins: {user: password} the proxy asks for, or none."""
        self.work = None
        self.port = port or free_port()
        self.proc = None
        self.logins = logins or {}

    def start(self):
        self.work = tempfile.mkdtemp(prefix="velmora-squid.")
        # squid started as root runs as proxy, which must write its logs here.
        os.chmod(self.work, 0o777)
        user = "cache_effective_user proxy" if os.geteuid() == 0 else ""
        access = ""
        if self.logins:
            # Apache's MD5 crypt, which basic_ncsa_auth reads.
            with open(os.path.join(self.work, "passwords"), "w") as f:
                for name, password in self.logins.items():
                    hashed = subprocess.run(["openssl", "passwd", "-apr1", "-stdin"], input=password, text=True,
                                            capture_output=True, check=True).stdout.strip()
                    f.write("%s:%s\n" % (name, hashed))
            access = LOGIN_ACCESS.format(work=self.work)
        conf = os.path.join(self.work, "squid.conf")
        with open(conf, "w") as f:
            f.write(CONFIG.format(port=self.port, work=self.work, user=user, access=access))
        self.proc = subprocess.Popen([SQUID, "-N", "-f", conf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("squid ended at start: see " + os.path.join(self.work, "cache.log"))
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return self
            except OSError:
                time.sleep(0.1)
        self.stop()
        raise RuntimeError("squid did not listen on port %d" % self.port)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=15)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.work:
            shutil.rmtree(self.work, ignore_errors=True)

    def entries(self):
        """(squid's result code, status, URL, user who logged in or "-") of
        every request so far."""
        out = []
        with contextlib.suppress(FileNotFoundError), open(os.path.join(self.work, "access.log")) as f:
            for line in f:
                fields = line.split()
                if len(fields) >= 8:
                    result, _, status = fields[3].partition("/")
                    out.append((result, status, fields[6], fields[7]))
        return out

    def log(self):
        """(squid's result code, URL) of every request so far."""
        return [(result, url) for result, _, url, _ in self.entries()]

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

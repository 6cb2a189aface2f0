"""nginx on 127.0.0.1 as a plain static server, run as the current user.

Serves ROOT with nginx's own ETag and Range handling (a strong ETag, 206
with Content-Range, If-Range) and a minimal header block (server_tokens
off, no extra headers). Files below ROOT/noetag/ are served without an
ETag. The access log has one '$status $bytes_sent "$request"' line per
request. All of nginx's files (configuration, pid, logs, temporary
folders) live in WORK. With tls=(CERT, KEY) it serves HTTPS.
"""
import contextlib
import os
import shutil
import socket
import subprocess
import time

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"

CONFIG = """\
daemon off;
master_process off;
worker_processes 1;
pid {work}/nginx.pid;
error_log {work}/error.log warn;
events {{ worker_connections 64; }}
http {{
    server_tokens off;
    log_format sent '$status $bytes_sent "$request"';
    access_log {work}/access.log sent;
    types {{ }}
    default_type application/octet-stream;
    client_body_temp_path {work}/tmp/body;
    proxy_temp_path {work}/tmp/proxy;
    fastcgi_temp_path {work}/tmp/fastcgi;
    uwsgi_temp_path {work}/tmp/uwsgi;
    scgi_temp_path {work}/tmp/scgi;
    server {{
        listen 127.0.0.1:{port}{ssl};
        {certificate}
        root {root};
        location /noetag/ {{ etag off; }}
    }}
}}
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class NginxServer:
    def __init__(self, root, work, port=0, tls=None):
        self.root = os.path.abspath(root)
        self.work = os.path.abspath(work)
        self.port = port or free_port()
        self.tls = tls
        self.proc = None

    def url(self, path, host="127.0.0.1"):
        return "%s://%s:%d%s" % ("https" if self.tls else "http", host, self.port, path)

    def start(self):
        os.makedirs(os.path.join(self.work, "tmp"), exist_ok=True)
        for log in ("access.log", "error.log"):  # a fresh server, fresh logs
            with contextlib.suppress(FileNotFoundError):
                os.remove(os.path.join(self.work, log))
        conf = os.path.join(self.work, "nginx.conf")
        with open(conf, "w") as f:
            certificate = ("ssl_certificate %s; ssl_certificate_key %s;" % self.tls) if self.tls else ""
            f.write(CONFIG.format(work=self.work, root=self.root, port=self.port, ssl=" ssl" if self.tls else "",
                                  certificate=certificate))
        self.proc = subprocess.Popen([NGINX, "-p", self.work, "-c", conf, "-e", os.path.join(self.work, "error.log")],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError("nginx ended at start: see " + os.path.join(self.work, "error.log"))
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return self
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError("nginx did not listen on port %d" % self.port)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def requests(self):
        """(request line, status, bytes sent) of every request so far."""
        out = []
        with contextlib.suppress(FileNotFoundError), open(os.path.join(self.work, "access.log")) as f:
            for line in f:
                status, sent, request = line.rstrip("\n").split(" ", 2)
                out.append((request.strip('"'), int(status), int(sent)))
        return out

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

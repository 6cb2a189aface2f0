"""Scriptable HTTP/1.1 server on 127.0.0.1 for fault injection.

Each path gets a scripted reply: status, fixed headers, a body with or
without Content-Length (or chunked), an ETag, Range honoured or ignored, a
header block padded past a size, a connection dropped after N body bytes, a
body sent slowly. Every request other than the control requests is recorded
byte for byte (request line and header block).

Used in-process from Python tests (FaultServer), or as a process for the
Windows-side tests, which script it over HTTP:

    PUT  /__script?path=P&OPTION=VALUE...   body = reply body for path P
    GET  /__log                             {"requests": [raw head, ...], "times": [s, ...]}
    POST /__reset                           forget scripts and the log

Options: status, reason, header (repeated, "Name: value"), length ("auto",
"none" or a number), chunked=1, etag (sent quoted), etag_raw (sent as it
is, e.g. W/"x"), etag_header=NAME (the ETag header's spelling), ranges=0,
drop_after=N, stall_after=N (N body bytes, then silence with the connection
open), delay=SECONDS (before the reply), pad=N, unranged_fill=C (requests
without Range get a body of the same length made of C), range_status=N
(requests with Range get status N and the whole body; 416 comes without
one), throttle=BYTES,SECONDS, once=1 (a one-shot reply, used by the next
request for the path before the standing one), then_refuse=1 (the server
stops listening as this reply starts: later connections are refused). A Range request with an
If-Range other than the quoted etag gets the whole body with 200.

With a certificate (tls=(CERT, KEY), or set_certificate later) it speaks
HTTPS instead, TLS 1.3 only with tls_13_only; a client that refuses the
certificate, or cannot speak the version, ends the handshake and nothing is
served.

Command line: fault_server.py [--port N] [--lifetime SECONDS]; prints
"ready PORT" once it listens and ends by itself after the lifetime.
"""
import argparse
import errno
import json
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse

MAX_HEAD = 64 * 1024
SOCKET_TIMEOUT = 30


class Reply:
    def __init__(self, status=200, reason=None, headers=(), body=b"", length="auto", chunked=False,
                 etag=None, ranges=True, drop_after=None, pad=0, unranged_fill=None, range_status=None,
                 throttle=None, etag_raw=None, etag_header="ETag", stall_after=None, delay=0.0,
                 then_refuse=False):
        self.status = int(status)
        self.reason = reason
        self.headers = list(headers)
        self.body = body
        self.length = length
        self.chunked = chunked
        self.etag = etag
        self.ranges = ranges
        self.drop_after = drop_after
        self.pad = pad
        self.unranged_fill = unranged_fill
        self.range_status = range_status
        self.throttle = throttle
        self.etag_raw = etag_raw
        self.etag_header = etag_header
        self.stall_after = stall_after
        self.delay = delay
        self.then_refuse = then_refuse

    def etag_value(self):
        if self.etag_raw is not None:
            return self.etag_raw
        return None if self.etag is None else '"%s"' % self.etag

    @classmethod
    def from_query(cls, query, body):
        q = urllib.parse.parse_qs(query, keep_blank_values=True)
        one = lambda k, d=None: q[k][-1] if k in q else d
        headers = [tuple(s.strip() for s in h.split(":", 1)) for h in q.get("header", [])]
        length = one("length", "auto")
        throttle = one("throttle")
        return cls(status=one("status", 200), reason=one("reason"), headers=headers, body=body,
                   length=length if length in ("auto", "none") else int(length),
                   chunked=one("chunked") == "1", etag=one("etag"), ranges=one("ranges", "1") != "0",
                   drop_after=int(one("drop_after")) if one("drop_after") else None,
                   pad=int(one("pad", 0)),
                   unranged_fill=one("unranged_fill").encode("latin-1") if one("unranged_fill") else None,
                   range_status=int(one("range_status")) if one("range_status") else None,
                   throttle=tuple(float(x) for x in throttle.split(",")) if throttle else None,
                   etag_raw=one("etag_raw"), etag_header=one("etag_header", "ETag"),
                   stall_after=int(one("stall_after")) if one("stall_after") else None,
                   delay=float(one("delay", 0)), then_refuse=one("then_refuse") == "1")


REASONS = {200: "OK", 206: "Partial Content", 404: "Not Found", 408: "Request Timeout", 416: "Range Not Satisfiable",
           429: "Too Many Requests", 500: "Internal Server Error", 502: "Bad Gateway", 503: "Service Unavailable",
           504: "Gateway Timeout"}

# How long a stalled reply keeps its connection open and silent.
STALL_SECONDS = 300


def parse_range(value):
    """The offset N of "bytes=N-", or None."""
    if not value or not value.startswith("bytes="):
        return None
    first, _, last = value[6:].partition("-")
    return int(first) if first.isdigit() and last == "" else None


class FaultServer:
    def __init__(self, port=0, tls=None, tls_13_only=False):
        self._lock = threading.Lock()
        self._tls = None
        if tls:
            self.set_certificate(*tls, tls_13_only=tls_13_only)
        self._scripts = {}
        self._once = {}
        self._log = []
        self._times = []
        self.start_time = time.monotonic()  # the clock of times()
        owner = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                sock = self.request
                with owner._lock:
                    context = owner._tls
                if context:
                    try:
                        sock.settimeout(SOCKET_TIMEOUT)
                        sock = context.wrap_socket(sock, server_side=True)
                    except (OSError, ssl.SSLError):
                        return  # the client refused the certificate, or spoke no TLS
                owner._serve_connection(sock)

        class Server(socketserver.ThreadingTCPServer):
            allow_reuse_address = True
            daemon_threads = True

        # A listening socket closed a moment ago may still be held by a
        # child another thread of this process is starting (between its fork
        # and its exec): a given port is tried again for a while.
        deadline = time.monotonic() + 5
        while True:
            try:
                self._server = Server(("127.0.0.1", port), Handler)
                break
            except OSError as e:
                if e.errno != errno.EADDRINUSE or not port or time.monotonic() > deadline:
                    raise
                time.sleep(0.05)
        self.port = self._server.server_address[1]
        self._thread = None

    # In-process use.
    def start(self):
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        self._server.shutdown()
        self._server.server_close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def set_certificate(self, cert, key, tls_13_only=False):
        """Serves HTTPS with cert and key (PEM files) from the next connection on."""
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        if tls_13_only:
            context.minimum_version = ssl.TLSVersion.TLSv1_3
        with self._lock:
            self._tls = context

    @property
    def scheme(self):
        return "https" if self._tls else "http"

    def url(self, path, host="127.0.0.1"):
        return "%s://%s:%d%s" % (self.scheme, host, self.port, path)

    def script(self, path, once=False, **options):
        with self._lock:
            if once:
                self._once.setdefault(path, []).append(Reply(**options))
            else:
                self._scripts[path] = Reply(**options)

    def requests(self):
        with self._lock:
            return list(self._log)

    def times(self):
        """Seconds from the server's start to each request's arrival."""
        with self._lock:
            return list(self._times)

    def reset(self):
        with self._lock:
            self._scripts.clear()
            self._once.clear()
            self._log.clear()
            self._times.clear()

    # Serving.
    def _serve_connection(self, sock):
        sock.settimeout(SOCKET_TIMEOUT)
        buffered = b""
        try:
            while True:
                while b"\r\n\r\n" not in buffered:
                    if len(buffered) > MAX_HEAD:
                        return
                    data = sock.recv(65536)
                    if not data:
                        return
                    buffered += data
                end = buffered.index(b"\r\n\r\n") + 4
                head, buffered = buffered[:end], buffered[end:]
                lines = head.decode("latin-1").split("\r\n")
                method, target, _ = (lines[0].split(" ") + ["", ""])[:3]
                headers = {}
                for line in lines[1:]:
                    if ":" in line:
                        name, value = line.split(":", 1)
                        headers[name.strip().lower()] = value.strip()
                need = int(headers.get("content-length", "0") or 0)
                # Gathered in pieces: a 10 MB package scripted by a test,
                # added to one bytes object read by read, was copied a
                # hundred times over.
                pieces, have = [buffered], len(buffered)
                while have < need:
                    data = sock.recv(1 << 20)
                    if not data:
                        return
                    pieces.append(data)
                    have += len(data)
                buffered = b"".join(pieces)
                body, buffered = buffered[:need], buffered[need:]
                path, _, query = target.partition("?")
                if path.startswith("/__"):
                    self._control(sock, method, path, query, body)
                    return
                with self._lock:
                    self._log.append(head)
                    self._times.append(time.monotonic() - self.start_time)
                    queued = self._once.get(path)
                    reply = (queued.pop(0) if queued else self._scripts.get(path)) or Reply(status=404, body=b"")
                if reply.then_refuse:
                    # Before the reply: a client that tries again meets a
                    # closed port (handler threads are daemons: nothing joins).
                    self._server.shutdown()
                    self._server.socket.close()
                if not self._reply(sock, reply, headers):
                    return
        except (OSError, ValueError):
            return
        finally:
            try:
                sock.close()
            except OSError:
                pass

    def _control(self, sock, method, path, query, body):
        status, out = 200, b"ok"
        if path == "/__script" and method == "PUT":
            q = urllib.parse.parse_qs(query, keep_blank_values=True)
            reply = Reply.from_query(query, body)
            with self._lock:
                if q.get("once", ["0"])[-1] == "1":
                    self._once.setdefault(q["path"][-1], []).append(reply)
                else:
                    self._scripts[q["path"][-1]] = reply
        elif path == "/__log":
            out = json.dumps({"requests": [h.decode("latin-1") for h in self.requests()],
                              "times": self.times()}).encode()
        elif path == "/__reset":
            self.reset()
        else:
            status, out = 404, b"unknown control request"
        sock.sendall(b"HTTP/1.1 %d X\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % (status, len(out))
                     + out)

    def _reply(self, sock, r, request_headers):
        """Sends one reply; False when the connection is to be closed."""
        body = r.body
        status = r.status
        extra = []
        # As real servers do, only a success is served in ranges: an error
        # or a redirect stays what it is.
        offset = parse_range(request_headers.get("range")) if r.ranges and r.status == 200 else None
        if_range = request_headers.get("if-range")
        if offset is not None and if_range is not None and if_range != r.etag_value():
            offset = None  # the representation changed: the whole of it
        if r.range_status is not None and "range" in request_headers:
            status = r.range_status
            if status == 416:
                body = b""
                extra.append(("Content-Range", "bytes */%d" % len(r.body)))
        elif offset is not None:
            if offset >= len(body):
                status, body = 416, b""
                extra.append(("Content-Range", "bytes */%d" % len(r.body)))
            else:
                status = 206
                extra.append(("Content-Range", "bytes %d-%d/%d" % (offset, len(body) - 1, len(body))))
                body = body[offset:]
        elif r.unranged_fill is not None and "range" not in request_headers:
            body = r.unranged_fill * len(body)
        reason = r.reason if (r.reason is not None and status == r.status) else REASONS.get(status, "Status")

        head = ["HTTP/1.1 %d %s" % (status, reason)]
        head += ["%s: %s" % h for h in r.headers]
        declared = len(body)
        if r.chunked:
            head.append("Transfer-Encoding: chunked")
        elif r.length == "auto":
            head.append("Content-Length: %d" % len(body))
        elif r.length != "none":
            declared = int(r.length)
            head.append("Content-Length: %d" % declared)
        head += ["%s: %s" % h for h in extra]
        if r.etag_value() is not None:
            head.append("%s: %s" % (r.etag_header, r.etag_value()))
        if r.pad:
            head.append("X-Pad: " + "p" * r.pad)
        if r.delay:
            time.sleep(r.delay)
        sock.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))

        if r.stall_after is not None:
            self._send(sock, body[:r.stall_after], r.throttle)
            self._stall(sock)
            return False
        payload = body if r.drop_after is None else body[:r.drop_after]
        if r.chunked:
            payload = b"".join(b"%x\r\n%s\r\n" % (len(payload[i:i + 1000]), payload[i:i + 1000])
                               for i in range(0, len(payload), 1000))
            if r.drop_after is None:
                payload += b"0\r\n\r\n"
        self._send(sock, payload, r.throttle)
        keep = r.drop_after is None and (r.chunked or (r.length != "none" and declared == len(body)))
        if not keep:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        return keep

    @staticmethod
    def _stall(sock):
        """Silence with the connection open, until the client closes it."""
        sock.settimeout(1)
        deadline = time.monotonic() + STALL_SECONDS
        while time.monotonic() < deadline:
            try:
                if not sock.recv(65536):
                    return
            except socket.timeout:
                continue
            except OSError:
                return

    @staticmethod
    def _send(sock, data, throttle):
        if not throttle:
            sock.sendall(data)
            return
        step, pause = int(throttle[0]), throttle[1]
        for i in range(0, len(data), step):
            sock.sendall(data[i:i + step])
            time.sleep(pause)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--lifetime", type=float, default=900)
    args = parser.parse_args()
    server = FaultServer(args.port).start()
    print("ready %d" % server.port, flush=True)
    time.sleep(args.lifetime)
    server.stop()


if __name__ == "__main__":
    sys.exit(main())

"""The bundled local vendor site: upgrade manifest, setup package, licence page.

Shared by the end-to-end tests and `make demo`. The setup package is the
stand-in built with the tests (build/tests/standin_setup.exe), which keeps
the real package's contract.
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import time

import harness

MANIFEST_PATH = "/apis/client/v1.0/client-upgrade.json"
PACKAGE_PATH = "/download/velmora-setup.exe"
LICENSE_PATH = "/agreement.html"
STANDIN_SETUP = os.path.join(harness.BUILD, "tests", "standin_setup.exe")

LICENSE_HTML = """<!DOCTYPE html>
<html lang="zh-CN"><head><meta charset="utf-8"><title>Velmora 用户许可协议</title></head>
<body><h1>Velmora 用户许可协议</h1>
<p>本地演示服务器提供的许可协议页面。</p></body></html>
"""


def package_url(port):
    return "http://127.0.0.1:%d%s" % (port, PACKAGE_PATH)


# The private half of the build's throw-away manifest-signing key
# (scripts/configure.sh); the installer under test has the public half.
SIGNING_KEY = os.path.join(harness.BUILD, "manifest-key", "private.pem")


def manifest(download_url, code=100, package=None, expires_in=30 * 86400, **result):
    """A manifest document: code, and a result with version, versionCode,
    downloadUrl and, for package (bytes), its size and SHA-256, valid for
    expires_in seconds (None: no "expires"). Further result members may be
    given, or taken out with the value None."""
    body = {"version": "1.0.0", "versionCode": 1, "downloadUrl": download_url}
    if package is not None:
        body.update(size=len(package), sha256=hashlib.sha256(package).hexdigest())
    if expires_in is not None:
        body["expires"] = int(time.time()) + expires_in
    body.update(result)
    body = {k: v for k, v in body.items() if v is not None}
    return json.dumps({"code": code, "msg": "ok", "result": body}, ensure_ascii=False).encode("utf-8")


def sign(document):
    """The detached signature of document's exact bytes, as the vendor's
    tooling makes it (scripts/publish-manifest.sh)."""
    return subprocess.run(["openssl", "dgst", "-sha256", "-sign", SIGNING_KEY], input=document, check=True,
                          stdout=subprocess.PIPE).stdout


def serve_manifest(server, document, signature=True, **options):
    """Scripts the fault server's manifest and, unless signature is False, its
    signature (True: the right one; bytes: those)."""
    server.script(MANIFEST_PATH, body=document, **options)
    if signature is not False:
        server.script(MANIFEST_PATH + ".sig", body=sign(document) if signature is True else signature)


def partial_name(package):
    """The partial file of a download whose manifest gives the package's
    SHA-256: named by the hash (any server's bytes of it continue the file);
    without a hash it is named by the server's entity tag."""
    return hashlib.sha256(package).hexdigest() + ".partial"


def resumes_by_hash(head, offset):
    """The request head asks for the rest of a partial file named by the
    hash: a Range from offset, and no If-Range (the hash decides)."""
    return ("\r\nRange: bytes=%d-\r\n" % offset) in head and "If-Range" not in head


def package_bytes():
    with open(STANDIN_SETUP, "rb") as f:
        return f.read()


def altered(package):
    """package with its DOS stub text changed: as long, as runnable, and
    another SHA-256 (another release, or a forged one)."""
    stub = b"This program cannot be run in DOS mode"
    assert stub in package
    return package.replace(stub, stub.replace(b"cannot", b"CANNOT"), 1)


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def images(log):
    """The SHA-256 of each setup that ran, from the stand-in's log."""
    return re.findall(r"^image ([0-9a-f]{64})\s*$", log, re.M)


def make_site(root, port, base=None):
    """Writes the site's files under root for a server on 127.0.0.1:port (or
    at base, such as "https://localhost:PORT"): the package, the licence
    page, and the manifest with its signature as the vendor's tooling
    publishes them."""
    package = os.path.join(root, PACKAGE_PATH.lstrip("/"))
    os.makedirs(os.path.dirname(package), exist_ok=True)
    shutil.copyfile(STANDIN_SETUP, package)
    manifest_dir = os.path.join(root, os.path.dirname(MANIFEST_PATH.lstrip("/")))
    os.makedirs(manifest_dir, exist_ok=True)
    url = base + PACKAGE_PATH if base else package_url(port)
    subprocess.run(["bash", os.path.join(harness.SCRIPTS, "publish-manifest.sh"), package, url, SIGNING_KEY],
                   cwd=manifest_dir, check=True, stdout=subprocess.DEVNULL)
    license_path = os.path.join(root, LICENSE_PATH.lstrip("/"))
    with open(license_path, "wb") as f:
        f.write(LICENSE_HTML.encode("utf-8"))
    return root

"""The bundled local vendor site: upgrade manifest, setup package, licence page.

Shared by the end-to-end tests and `make demo`. The setup package is the
stand-in built with the tests (build/tests/standin_setup.exe), which keeps
the real package's contract.
"""
import json
import os
import shutil

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


def manifest(download_url, code=100):
    """The manifest document the installer accepts (code 100, result with
    version, versionCode and downloadUrl)."""
    return json.dumps({"code": code, "msg": "ok",
                       "result": {"version": "1.0.0", "versionCode": 1, "downloadUrl": download_url}},
                      ensure_ascii=False).encode("utf-8")


def package_bytes():
    with open(STANDIN_SETUP, "rb") as f:
        return f.read()


def make_site(root, port):
    """Writes the site's files under root for a server on 127.0.0.1:port."""
    for rel, data in ((MANIFEST_PATH, manifest(package_url(port))),
                      (LICENSE_PATH, LICENSE_HTML.encode("utf-8"))):
        path = os.path.join(root, rel.lstrip("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    package = os.path.join(root, PACKAGE_PATH.lstrip("/"))
    os.makedirs(os.path.dirname(package), exist_ok=True)
    shutil.copyfile(STANDIN_SETUP, package)
    return root

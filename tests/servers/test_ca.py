"""The tests' own certificate authority, made with openssl at test time.

    test_ca.py FOLDER    makes (once) and lists the files

FOLDER gets:
- ca.pem, ca.der: the test CA, which a test trusts inside its own Wine
  prefix only (tests/tools/trust_ca.exe), never on the machine;
- good.pem/.key: 127.0.0.1 and localhost, signed by the CA, valid now;
- wrong-name.pem/.key: a valid certificate for another name;
- expired.pem/.key: 127.0.0.1 and localhost, expired years ago;
- untrusted.pem/.key: 127.0.0.1 and localhost, from another CA.
Tests running side by side share the folder; the first one makes it.
"""
import contextlib
import fcntl
import os
import subprocess
import sys
import tempfile

NAMES = "subjectAltName=IP:127.0.0.1,DNS:localhost"
SERVER_EXTENSIONS = "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n" \
                    "extendedKeyUsage=serverAuth\n"


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_ca(work, name, cn):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".pem",
            "-days", "3650", "-subj", "/CN=%s" % cn, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=work)


def make_server(work, name, ca, names, start=None, end=None):
    """A server certificate signed by ca: valid for 30 days from now, or from
    start to end (YYYYMMDDHHMMSSZ), through `openssl ca`, which takes dates."""
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
            "-subj", "/CN=velmora-test-server", cwd=work)
    with open(os.path.join(work, name + ".ext"), "w") as f:
        f.write(SERVER_EXTENSIONS + names + "\n")
    db = os.path.join(work, "db-" + name)
    os.makedirs(db)
    open(os.path.join(db, "index.txt"), "w").close()
    with open(os.path.join(work, name + ".cnf"), "w") as f:
        f.write("[ca]\ndefault_ca=test\n[test]\ndir=%s\ndatabase=$dir/index.txt\nnew_certs_dir=$dir\n"
                "serial=$dir/serial\ndefault_md=sha256\npolicy=any\nunique_subject=no\n"
                "[any]\ncommonName=supplied\n" % db)
    with open(os.path.join(db, "serial"), "w") as f:
        f.write("%016X\n" % int.from_bytes(os.urandom(8), "big"))
    dates = ["-startdate", start, "-enddate", end] if start else ["-days", "30"]
    openssl("ca", "-batch", "-config", name + ".cnf", "-cert", ca + ".pem", "-keyfile", ca + ".key",
            "-in", name + ".csr", "-out", name + ".pem", "-extfile", name + ".ext", "-notext", *dates, cwd=work)


def make(folder):
    """Makes the files in folder unless they are there; returns folder."""
    folder = os.path.abspath(folder)
    os.makedirs(os.path.dirname(folder), exist_ok=True)
    with open(folder + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(os.path.join(folder, "ready")):
            return folder
        work = tempfile.mkdtemp(dir=os.path.dirname(folder))
        make_ca(work, "ca", "Velmora Test CA")
        make_ca(work, "other-ca", "Velmora Untrusted Test CA")
        make_server(work, "good", "ca", NAMES)
        make_server(work, "wrong-name", "ca", "subjectAltName=DNS:wrong.velmora.example")
        make_server(work, "expired", "ca", NAMES, "20200101000000Z", "20200201000000Z")
        make_server(work, "untrusted", "other-ca", NAMES)
        openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=work)
        open(os.path.join(work, "ready"), "w").close()
        with contextlib.suppress(FileNotFoundError):
            subprocess.run(["rm", "-rf", folder], check=True)
        os.rename(work, folder)
        return folder


def cert(folder, name):
    """(certificate, key) paths of the server certificate name in folder."""
    return os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")


if __name__ == "__main__":
    out = make(sys.argv[1])
    print("\n".join(sorted(os.listdir(out))))

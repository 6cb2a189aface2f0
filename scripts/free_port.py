"""Prints PORT if it is free on 127.0.0.1, otherwise a free port."""
import socket
import sys


def is_free(port):
    with socket.socket() as s:
        try:
            s.bind(("127.0.0.1", port))
            return True
        except OSError:
            return False


wanted = int(sys.argv[1]) if len(sys.argv) > 1 and sys.argv[1].isdigit() else 0
if wanted and is_free(wanted):
    print(wanted)
else:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        print(s.getsockname()[1])

#!/usr/bin/env python3
# Loopback TLS servers for the certificate and fault cases of the TLS tests.
#
# Makes a test CA and server certificates with the openssl command, serves one
# port per case and runs COMMAND with VANTLO_TLS_FIXTURE=DIR. DIR holds ca.pem,
# `ports` ("CASE PORT" lines) and `log`: one "CASE BYTES" line per finished
# connection, BYTES being the application bytes the server received.
# Cases: good, otherca (same subject as the CA, another key), selfsigned,
# expired, otherhost, stall (never answers the handshake), cut (closes inside
# a record). Exits with COMMAND's status.
# Usage: tls_fixture.py -- COMMAND [ARGS...]
import os, socket, ssl, subprocess, sys, tempfile, threading

HERE_NAMES = "subjectAltName=DNS:localhost,DNS:127.0.0.1,IP:127.0.0.1"
OTHER_NAMES = "subjectAltName=DNS:elsewhere.example"
ANSWER = b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok"


def openssl(d, *args):
    subprocess.run(["openssl", *args], cwd=d, check=True, capture_output=True)


def make_certificates(d):
    # RSA: Wine's chain check fails some valid ECDSA signatures at random.
    new_key = ["-newkey", "rsa:2048", "-nodes"]
    for ca in ("ca", "rogueca"):
        openssl(d, "req", "-x509", *new_key, "-keyout", ca + ".key", "-out", ca + ".pem",
                "-subj", "/CN=Vantlo Test CA", "-days", "2")
    openssl(d, "req", "-x509", *new_key, "-keyout", "selfsigned.key", "-out", "selfsigned.pem",
            "-subj", "/CN=localhost", "-addext", HERE_NAMES, "-days", "2")
    for name, ca, names, days in (("good", "ca", HERE_NAMES, "2"), ("otherca", "rogueca", HERE_NAMES, "2"),
                                  ("expired", "ca", HERE_NAMES, "-1"), ("otherhost", "ca", OTHER_NAMES, "2")):
        with open(os.path.join(d, name + ".ext"), "w") as ext:
            ext.write(names + "\n")
        openssl(d, "req", "-new", *new_key, "-keyout", name + ".key", "-out", name + ".csr", "-subj", "/CN=localhost")
        openssl(d, "x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
                "-days", days, "-extfile", name + ".ext", "-out", name + ".pem")


def handle(case, conn, context, log, lock):
    received = b""
    conn.settimeout(60)
    try:
        if case == "stall":
            while conn.recv(4096):
                pass
            return
        tls = context.wrap_socket(conn, server_side=True)
        while b"\r\n\r\n" not in received:
            piece = tls.recv(65536)
            if not piece:
                break
            received += piece
        if case == "cut":
            # The header of a 16 KiB application record, 100 bytes of it, then the end.
            raw = socket.socket(fileno=os.dup(tls.fileno()))
            raw.sendall(b"\x17\x03\x03\x40\x00" + b"x" * 100)
            raw.close()
        elif received:
            tls.sendall(ANSWER)
    except (OSError, ssl.SSLError):
        pass
    finally:
        with lock:
            log.write("%s %d\n" % (case, len(received)))
            log.flush()
        conn.close()


def serve(case, listener, context, log, lock):
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(case, conn, context, log, lock), daemon=True).start()


def main():
    if "--" not in sys.argv[1:-1]:
        sys.exit("usage: tls_fixture.py -- COMMAND [ARGS...]")
    command = sys.argv[sys.argv.index("--") + 1:]
    with tempfile.TemporaryDirectory(prefix="vantlo-tls.") as d:
        make_certificates(d)
        log, lock = open(os.path.join(d, "log"), "a"), threading.Lock()
        with open(os.path.join(d, "ports"), "w") as ports:
            for case in ("good", "otherca", "selfsigned", "expired", "otherhost", "stall", "cut"):
                certificate = {"stall": "good", "cut": "good"}.get(case, case)
                context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
                context.load_cert_chain(os.path.join(d, certificate + ".pem"), os.path.join(d, certificate + ".key"))
                listener = socket.create_server(("127.0.0.1", 0))
                threading.Thread(target=serve, args=(case, listener, context, log, lock), daemon=True).start()
                ports.write("%s %d\n" % (case, listener.getsockname()[1]))
        sys.exit(subprocess.run(command, env=dict(os.environ, VANTLO_TLS_FIXTURE=d)).returncode)


main()

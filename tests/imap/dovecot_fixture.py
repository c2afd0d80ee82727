#!/usr/bin/env python3
# A throwaway Dovecot on loopback for the IMAP tests and the benchmark.
#
# Makes a test CA and certificates with the openssl command, writes a config
# (one passwd-file user, maildir under DIR, state and logs in DIR), starts
# Dovecot, waits for its greeting, runs COMMAND with VANTLO_DOVECOT=DIR and
# stops Dovecot again. DIR holds ca.pem and `ports` ("NAME PORT" lines):
#   imap, imaps    Dovecot on 127.0.0.1 (STARTTLS / TLS at once)
#   lean           Dovecot's plain port on 127.0.0.2, which offers no UIDPLUS,
#                  MOVE, BINARY nor LITERAL+ after login
#   stall          accepts and never says a word
#   rogue          TLS with a certificate from another CA; `log` gets one
#                  "rogue BYTES" line per connection (bytes received after
#                  the handshake)
# Dovecot's log (DIR/dovecot.log) ends each session's line with
# "body=BYTES on=ADDRESS": the mail body bytes it sent and the address the
# client reached (127.0.0.2: the lean server).
# Without dovecot, or when not root (Dovecot then runs the mail user as
# uid 65534), it prints why and exits 77 (skipped) without running COMMAND.
# Usage: dovecot_fixture.py -- COMMAND [ARGS...]
import os, shutil, socket, ssl, subprocess, sys, tempfile, threading, time

USER, PASSWORD = "tester", 'pa "s\\s'
NAMES = "subjectAltName=DNS:localhost,DNS:127.0.0.1,DNS:127.0.0.2,IP:127.0.0.1,IP:127.0.0.2"  # Wine matches DNS names only


def openssl(d, *args):
    subprocess.run(["openssl", *args], cwd=d, check=True, capture_output=True)


def certificates(d):
    key = ["-newkey", "rsa:2048", "-nodes"]
    with open(os.path.join(d, "names.ext"), "w") as ext:
        ext.write(NAMES + "\n")
    for ca, server in (("ca", "server"), ("rogueca", "rogue")):
        openssl(d, "req", "-x509", *key, "-keyout", ca + ".key", "-out", ca + ".pem", "-subj", "/CN=Vantlo Test CA",
                "-days", "2")
        openssl(d, "req", "-new", *key, "-keyout", server + ".key", "-out", server + ".csr", "-subj", "/CN=localhost")
        openssl(d, "x509", "-req", "-in", server + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key", "-days", "2",
                "-extfile", "names.ext", "-out", server + ".pem")


def free_port():
    with socket.create_server(("127.0.0.1", 0)) as s:
        return s.getsockname()[1]


def config(d, imap, imaps):
    mail = os.path.join(d, "mail")
    os.makedirs(mail)
    os.chown(mail, 65534, 65534)
    with open(os.path.join(d, "users"), "w") as users:
        users.write("%s:{PLAIN}%s:65534:65534::%s\n" % (USER, PASSWORD, mail))
    dh = "ssl_dh = </usr/share/dovecot/dh.pem\n" if os.path.exists("/usr/share/dovecot/dh.pem") else ""
    return f"""protocols = imap
listen = 127.0.0.1, 127.0.0.2
base_dir = {d}/run
state_dir = {d}/state
log_path = {d}/dovecot.log
first_valid_uid = 65534
mail_location = maildir:{mail}/%u
auth_mechanisms = plain login
imap_logout_format = body=%{{fetch_body_bytes}} on=%{{local_ip}}
ssl = yes
ssl_cert = <{d}/server.pem
ssl_key = <{d}/server.key
ssl_min_protocol = TLSv1.2
{dh}passdb {{
  driver = passwd-file
  args = {d}/users
}}
userdb {{
  driver = passwd-file
  args = {d}/users
}}
namespace inbox {{
  inbox = yes
  separator = /
  mailbox Trash {{
    special_use = \\Trash
    auto = create
  }}
}}
service imap-login {{
  inet_listener imap {{
    port = {imap}
  }}
  inet_listener imaps {{
    port = {imaps}
    ssl = yes
  }}
}}
local 127.0.0.2 {{
  protocol imap {{
    imap_capability = IMAP4rev1 SASL-IR ID ENABLE IDLE NAMESPACE SPECIAL-USE
  }}
}}
"""


def wait_greeting(host, port):
    for _ in range(200):
        try:
            with socket.create_connection((host, port), timeout=5) as s:
                if s.recv(64).startswith(b"* OK"):
                    return
        except OSError:
            time.sleep(0.05)
    sys.exit("dovecot_fixture: Dovecot did not greet on %s:%d" % (host, port))


def serve(listener, handle):
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(conn,), daemon=True).start()


def rogue(d, lock):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(d, "rogue.pem"), os.path.join(d, "rogue.key"))

    def handle(conn):
        received = 0
        try:
            conn.settimeout(30)
            tls = context.wrap_socket(conn, server_side=True)
            tls.sendall(b"* OK IMAP4rev1 ready\r\n")
            while piece := tls.recv(4096):
                received += len(piece)
        except (OSError, ssl.SSLError):
            pass
        with lock, open(os.path.join(d, "log"), "a") as log:
            log.write("rogue %d\n" % received)
        conn.close()
    return handle


def hold(conn):
    time.sleep(120)
    conn.close()


def main():
    if "--" not in sys.argv[1:-1]:
        sys.exit("usage: dovecot_fixture.py -- COMMAND [ARGS...]")
    command = sys.argv[sys.argv.index("--") + 1:]
    dovecot = shutil.which("dovecot") or ("/usr/sbin/dovecot" if os.path.exists("/usr/sbin/dovecot") else None)
    if not dovecot or os.geteuid() != 0:
        why = "dovecot is not installed (scripts/setup.sh installs it)" if not dovecot else "it needs root"
        print("dovecot_fixture: %s; skipping %s" % (why, command[0]))
        return 77
    d = tempfile.mkdtemp(prefix="vantlo-dovecot.")
    os.chmod(d, 0o755)
    process = None
    try:
        certificates(d)
        ports = {"imap": free_port(), "imaps": free_port(), "stall": 0, "rogue": 0}
        with open(os.path.join(d, "dovecot.conf"), "w") as conf:
            conf.write(config(d, ports["imap"], ports["imaps"]))
        process = subprocess.Popen([dovecot, "-F", "-c", os.path.join(d, "dovecot.conf")])
        wait_greeting("127.0.0.1", ports["imap"])
        wait_greeting("127.0.0.2", ports["imap"])
        lock = threading.Lock()
        for name, handle in (("stall", hold), ("rogue", rogue(d, lock))):
            listener = socket.create_server(("127.0.0.1", 0))
            threading.Thread(target=serve, args=(listener, handle), daemon=True).start()
            ports[name] = listener.getsockname()[1]
        ports["lean"] = ports["imap"]
        with open(os.path.join(d, "ports"), "w") as out:
            out.writelines("%s %d\n" % item for item in ports.items())
        env = dict(os.environ, VANTLO_DOVECOT=d, VANTLO_DOVECOT_USER=USER, VANTLO_DOVECOT_PASSWORD=PASSWORD)
        return subprocess.run(command, env=env).returncode
    finally:
        if process:
            process.terminate()
            try:
                process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(d, ignore_errors=True)


sys.exit(main())

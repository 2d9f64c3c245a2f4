#!/usr/bin/env python3
"""varnock-web against hostile clients, on 127.0.0.1 only.

    hostile_clients.py PATH_TO_VARNOCK_WEB

Starts the real program on a free loopback port and checks that it refuses
other methods, '..' paths and oversized headers, keeps answering while one
client holds 1,000 idle connections, drops a client that sends its headers a
byte a second, and, with a configuration made here (a self-signed certificate
from openssl, a bcrypt user), asks for the user over HTTPS. Exit 0 when all
hold, 1 on the first that does not, 77 (skip) when openssl is missing, unless
VARNOCK_REQUIRE_LAB=1 demands it.
"""

import base64
import contextlib
import ctypes
import ctypes.util
import http.client
import os
import resource
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

# What a request's headers may take before the server drops the connection
# (the program's fixed 10 s), and how loosely a busy machine is allowed to
# miss it.
HEADER_DEADLINE = 10.0
SLACK = 8.0

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@contextlib.contextmanager
def server(program, port, *extra):
    process = subprocess.Popen(
        [program, "--state", "/nonexistent/record.json", "--listen", f"127.0.0.1:{port}", *extra],
        stderr=subprocess.PIPE, text=True)
    try:
        deadline = time.monotonic() + 20
        while True:
            if process.poll() is not None:
                raise SystemExit(f"varnock-web exited {process.returncode}: {process.stderr.read()}")
            with contextlib.suppress(OSError), socket.create_connection(("127.0.0.1", port), 1):
                break
            if time.monotonic() > deadline:
                raise SystemExit("varnock-web did not listen within 20 s")
            time.sleep(0.05)
        yield process
    finally:
        process.terminate()
        try:
            status = process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            process.kill()
            status = None
        check(status == 0, f"SIGTERM ends the server with status 0 (got {status})")


def raw_request(port, data, source="127.0.0.1", timeout=15):
    """Sends bytes as they are; returns what came back (b'' if closed)."""
    with socket.create_connection(("127.0.0.1", port), timeout, (source, 0)) as connection:
        connection.sendall(data)
        received = b""
        with contextlib.suppress(ConnectionResetError, socket.timeout):
            while chunk := connection.recv(65536):
                received += chunk
        return received


def status_of(reply):
    parts = reply.split(b" ", 2)
    return int(parts[1]) if len(parts) > 1 and parts[0].startswith(b"HTTP/") else None


def get(port, target, method="GET", source="127.0.0.1", body=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=15,
                                            source_address=(source, 0))
    try:
        connection.request(method, target, body=body)
        response = connection.getresponse()
        return response, response.read()
    finally:
        connection.close()


def check_methods(port):
    for method in ("POST", "PUT", "DELETE", "PATCH"):
        response, _ = get(port, "/", method, body=b"x=1")
        check(response.status == 405 and response.getheader("Allow") == "GET, HEAD",
              f"{method} is 405 with Allow: GET, HEAD (got {response.status}, "
              f"Allow {response.getheader('Allow')!r})")
    page, body = get(port, "/")
    check(page.status == 200 and "default-src 'none'" in (page.getheader("Content-Security-Policy") or ""),
          f"GET / answers with the security headers (got {page.status})")
    head, head_body = get(port, "/", "HEAD")
    check(head.status == 200 and head_body == b""
          and head.getheader("Content-Length") == str(len(body)),
          "HEAD has GET's Content-Length and no body")


def check_dot_dot(port):
    for target in (b"/../../../../etc/passwd", b"/%2e%2e/%2e%2e/etc/passwd", b"/assets/..%2f..%2fetc%2fpasswd",
                   b"/a/%2E%2E/%2E%2E/etc/passwd", b"/..\\..\\etc\\passwd"):
        reply = raw_request(port, b"GET " + target + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        status = status_of(reply)
        check(status in (400, 404) and b"root:" not in reply,
              f"GET {target.decode()} is {status} and no file")


def check_large_header(port):
    # Four times the connection's memory: never a normal answer.
    reply = raw_request(port, b"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 65536 +
                        b"\r\nConnection: close\r\n\r\n")
    status = status_of(reply)
    check(status in (413, 414, 431) or (status is None and reply == b""),
          f"a 64 KiB header is refused (status {status}, {len(reply)} bytes back)")
    response, _ = get(port, "/")
    check(response.status == 200, "the server answers after it")


def check_idle_connections(port):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < 1200:
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(max(hard, 1200), hard), hard))
    held = []
    try:
        for _ in range(1000):
            connection = socket.socket()
            connection.settimeout(10)
            connection.connect(("127.0.0.1", port))
            held.append(connection)
        # Another client, as another address of the loopback network: the
        # idle ones may have been refused past the per-client limit, but
        # this one must still be answered.
        start = time.monotonic()
        response, _ = get(port, "/", source="127.0.0.2")
        check(response.status == 200,
              f"with 1,000 idle connections held, another client is answered "
              f"({response.status} in {time.monotonic() - start:.2f} s)")
    finally:
        for connection in held:
            connection.close()


def check_slow_headers(port, outcome):
    """One byte a second: must be dropped near the deadline."""
    start = time.monotonic()
    connection = socket.create_connection(("127.0.0.1", port), 5)
    connection.settimeout(1)
    dropped_after = None
    try:
        text = b"GET / HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"a" * 100
        for byte in text:
            try:
                connection.sendall(bytes([byte]))
                if connection.recv(1024) == b"":
                    dropped_after = time.monotonic() - start
                    break
            except socket.timeout:
                pass
            except OSError:
                dropped_after = time.monotonic() - start
                break
            if time.monotonic() - start > HEADER_DEADLINE + SLACK:
                break
    finally:
        connection.close()
    outcome["dropped_after"] = dropped_after


def bcrypt_hash(password):
    """A bcrypt hash from libcrypt itself, the library the server checks with
    (through ctypes: Python's own crypt module is going away)."""
    libcrypt = ctypes.CDLL(ctypes.util.find_library("crypt") or "libcrypt.so.1")
    libcrypt.crypt_gensalt.restype = ctypes.c_char_p
    libcrypt.crypt_gensalt.argtypes = [ctypes.c_char_p, ctypes.c_ulong, ctypes.c_char_p, ctypes.c_int]
    libcrypt.crypt.restype = ctypes.c_char_p
    libcrypt.crypt.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    salt = libcrypt.crypt_gensalt(b"$2b$", 4, None, 0)  # the lowest cost: a test's speed
    return libcrypt.crypt(password.encode(), salt).decode()


def check_tls_and_users(program, folder):
    if shutil.which("openssl") is None:
        if os.environ.get("VARNOCK_REQUIRE_LAB") == "1":
            check(False, "openssl is installed (tools/packages/tests.txt)")
            return
        print("skip TLS: openssl is not installed")
        raise SystemExit(77)
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=localhost", "-keyout", os.path.join(folder, "key.pem"),
                    "-out", os.path.join(folder, "cert.pem")],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    hashed = bcrypt_hash("open sesame")
    config = os.path.join(folder, "web.yml")
    with open(config, "w") as out:
        out.write(f"tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n"
                  f"basic_auth_users:\n  alice: '{hashed}'\n")
    # Refused beyond loopback without users, before anything is opened (a
    # documentation address: not this machine's, so nothing could bind).
    with open(config + ".tls-only", "w") as out:
        out.write("tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n")
    refused = subprocess.run([program, "--state", "x", "--listen", "192.0.2.1:8841",
                              "--web-config", config + ".tls-only"],
                             capture_output=True, text=True, timeout=20)
    check(refused.returncode == 2 and "users (basic_auth_users)" in refused.stderr,
          f"a non-loopback address without users is refused, exit 2 ({refused.returncode}: "
          f"{refused.stderr.strip()})")

    port = free_port()
    context = ssl.create_default_context()
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE  # the test's own self-signed certificate

    def fetch(authorization):
        connection = http.client.HTTPSConnection("127.0.0.1", port, timeout=15, context=context)
        try:
            headers = {"Authorization": authorization} if authorization else {}
            connection.request("GET", "/", headers=headers)
            response = connection.getresponse()
            response.read()
            return response
        finally:
            connection.close()

    def basic(user, password):
        return "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()

    with server(program, port, "--web-config", config):
        anonymous = fetch(None)
        check(anonymous.status == 401
              and anonymous.getheader("WWW-Authenticate") == 'Basic realm="varnock"',
              f"HTTPS without a user is 401 with the challenge (got {anonymous.status})")
        check(fetch(basic("alice", "wrong")).status == 401, "HTTPS with a wrong password is 401")
        check(fetch(basic("alice", "open sesame")).status == 200, "HTTPS with the user is 200")
        with contextlib.suppress(OSError):
            plain = raw_request(port, b"GET / HTTP/1.1\r\nHost: x\r\n\r\n", timeout=5)
            check(not plain.startswith(b"HTTP/1.1 200"), "plain HTTP gets no page from the HTTPS port")


def check_socket_activation(program):
    """A socket passed as systemd passes it is served; --listen is ignored."""
    with socket.socket() as listener:
        listener.bind(("127.0.0.1", 0))
        listener.listen()
        port = listener.getsockname()[1]
        # The shell puts the socket at descriptor 3 and names its own PID,
        # which exec keeps; --listen names an address that would be refused.
        process = subprocess.Popen(
            ["sh", "-c", f'exec 3<&{listener.fileno()}; export LISTEN_PID=$$ LISTEN_FDS=1; '
             'exec "$0" "$@"', program, "--state", "x", "--listen", "192.0.2.1:8841"],
            pass_fds=(listener.fileno(),), stderr=subprocess.PIPE, text=True)
    try:
        response, _ = get(port, "/")
        check(response.status == 200, f"a socket passed by LISTEN_FDS is served ({response.status})")
    finally:
        process.terminate()
        status = process.wait(timeout=20)
    check(status == 0, f"and --listen was ignored (exit {status}: {process.stderr.read().strip()})")


def main():
    program = sys.argv[1]
    port = free_port()
    with tempfile.TemporaryDirectory() as folder, server(program, port):
        slow = {}
        # The slow client runs beside the other checks: it takes the longest.
        slow_thread = threading.Thread(target=check_slow_headers, args=(port, slow))
        slow_thread.start()
        taken = subprocess.run([program, "--state", "x", "--listen", f"127.0.0.1:{port}"],
                               capture_output=True, text=True, timeout=20)
        check(taken.returncode == 1 and "cannot listen on" in taken.stderr,
              f"a port already taken is exit 1 ({taken.returncode}: {taken.stderr.strip()})")
        check_methods(port)
        check_dot_dot(port)
        check_large_header(port)
        check_idle_connections(port)
        slow_thread.join(HEADER_DEADLINE + SLACK + 10)
        dropped = slow.get("dropped_after")
        check(dropped is not None and HEADER_DEADLINE - 1 <= dropped <= HEADER_DEADLINE + SLACK,
              f"a client sending its headers a byte a second is dropped at the deadline "
              f"(after {dropped if dropped is None else round(dropped, 1)} s)")
        check_socket_activation(program)
        check_tls_and_users(program, folder)
    if failures:
        print(f"{len(failures)} failed", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

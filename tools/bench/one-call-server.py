#!/usr/bin/env python3
"""A minimal HTTPS server for the download benchmark: it answers a GET with the
whole file in a single write (headers and body together), the way a plain
static-file server with sendfile behaves, as a second reference next to
vorn-services. Files are read into memory once, at start.

    one-call-server.py FOLDER CERT_AND_KEY.pem PORT READY_FILE
"""
import os
import socket
import ssl
import sys


def main():
    folder, pem, port, ready = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    answers = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                body = f.read()
            head = b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n" \
                   b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(body)
            answers["/" + os.path.relpath(path, folder).replace(os.sep, "/")] = head + body
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(pem)
    listener = socket.create_server(("0.0.0.0", port), reuse_port=False)
    with open(ready, "w") as f:
        f.write("ready\n")
    while True:
        conn, _ = listener.accept()
        try:
            with context.wrap_socket(conn, server_side=True) as tls:
                request = b""
                while b"\r\n\r\n" not in request:
                    piece = tls.recv(4096)
                    if not piece:
                        break
                    request += piece
                line = request.split(b"\r\n", 1)[0].split()
                answer = answers.get(line[1].decode("ascii", "replace")) if len(line) >= 2 else None
                tls.sendall(answer if answer is not None else
                            b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                try:
                    tls.unwrap()
                except (OSError, ssl.SSLError):
                    pass
        except (OSError, ssl.SSLError) as e:
            print(f"one-call-server: {e}", file=sys.stderr)


if __name__ == "__main__":
    main()

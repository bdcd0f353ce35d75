#!/usr/bin/env python3
"""Stand-in for the catalogue service's search API: HTTPS on 127.0.0.1:443,
HTTP/1.1 with keep-alive, scripted by the tests and recording what it sees.

Control is a folder shared with the tests:
  response.json  read at every connection and request; missing means the
                 default reply (a track whose album cover URL is derived from
                 the request path). Fields: status, body, delay (seconds before
                 answering), stall (never answer: neither the TLS handshake of
                 a new connection nor a request on an open one),
                 close_mid_body (send half the body, then close), drop (close
                 the connection without a word once a request has arrived),
                 trickle (seconds between the body's bytes).
  log.jsonl      one line per TLS connection accepted, per handshake (the TLS
                 version agreed) and per request (path and headers as
                 received); a request is logged after its answer was chosen
                 and before it is sent.
  ready          written once the server listens.

Requests for the artist "Corvane Barrier" always get the default reply: the
tests look one up to know that every lookup before it has ended.
"""
import hashlib
import json
import os
import socket
import ssl
import sys
import threading
import time

STALL_SECONDS = 20
IDLE_SECONDS = 30
BARRIER_WORDS = "Corvane%20Barrier"


def load_script(folder):
    try:
        with open(os.path.join(folder, "response.json"), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def default_body(path):
    image_id = hashlib.md5(path.encode()).hexdigest()
    cover = "https://e-cdns-images.dzcdn.net/images/cover/%s/250x250-000000-80-0-0.jpg" % image_id
    return json.dumps({"data": [{"id": 3135556, "title": "Track", "album": {
        "id": 302127, "title": "Album", "cover_medium": cover,
        "cover_xl": cover.replace("250x250", "1000x1000")}}], "total": 1})


class Log:
    def __init__(self, folder):
        self.path = os.path.join(folder, "log.jsonl")
        self.lock = threading.Lock()

    def write(self, record):
        with self.lock, open(self.path, "a", encoding="utf-8") as f:
            f.write(json.dumps(record) + "\n")


def read_request(stream):
    line = stream.readline(65536)
    if not line:
        return None
    method, _, rest = line.decode("latin-1").rstrip("\r\n").partition(" ")
    target = rest.rpartition(" ")[0]
    headers = []
    while True:
        header = stream.readline(65536)
        if header in (b"\r\n", b"\n", b""):
            break
        name, _, value = header.decode("latin-1").rstrip("\r\n").partition(":")
        headers.append([name, value.strip()])
    length = next((int(v) for n, v in headers if n.lower() == "content-length"), 0)
    if length:
        stream.read(length)
    return {"method": method, "path": target, "headers": headers}


def serve_connection(raw, number, context, folder, log):
    raw.settimeout(IDLE_SECONDS)
    script = load_script(folder)
    log.write({"event": "connection", "connection": number})
    if script.get("stall"):
        time.sleep(STALL_SECONDS)
        raw.close()
        return
    try:
        tls = context.wrap_socket(raw, server_side=True)
    except (OSError, ssl.SSLError):
        raw.close()
        return
    log.write({"event": "handshake", "connection": number, "version": tls.version()})
    stream = tls.makefile("rb")
    try:
        while True:
            request = read_request(stream)
            if request is None:
                break
            script = {} if BARRIER_WORDS in request["path"] else load_script(folder)
            request.update({"event": "request", "connection": number})
            log.write(request)
            if script.get("stall"):
                time.sleep(STALL_SECONDS)
                break
            if script.get("drop"):
                break
            time.sleep(script.get("delay", 0))
            body = script.get("body")
            if body is None:
                body = default_body(request["path"])
            body = body.encode("utf-8")
            status = script.get("status", 200)
            head = ("HTTP/1.1 %d Scripted\r\nContent-Type: application/json; charset=utf-8\r\n"
                    "Content-Length: %d\r\nConnection: keep-alive\r\n\r\n" % (status, len(body)))
            if script.get("close_mid_body"):
                tls.sendall(head.encode() + body[: len(body) // 2])
                break
            if script.get("trickle"):
                tls.sendall(head.encode())
                for i in range(len(body)):
                    time.sleep(script["trickle"])
                    tls.sendall(body[i:i + 1])
                continue
            tls.sendall(head.encode() + body)
    except (OSError, ssl.SSLError):
        pass
    finally:
        try:
            tls.close()
        except OSError:
            pass


def main():
    folder, cert, key = sys.argv[1:4]
    port = int(sys.argv[4]) if len(sys.argv) > 4 else 443
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    log = Log(folder)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(64)
    with open(os.path.join(folder, "ready"), "w") as f:
        f.write("listening\n")
    number = 0
    while True:
        raw, _ = listener.accept()
        number += 1
        threading.Thread(target=serve_connection, args=(raw, number, context, folder, log),
                         daemon=True).start()


if __name__ == "__main__":
    main()

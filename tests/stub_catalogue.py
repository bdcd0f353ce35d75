#!/usr/bin/env python3
"""Stand-in for the three services covers come from, told apart by the
request's Host: the catalogue's search API (api.deezer.com), MusicBrainz's
release group search (musicbrainz.org) and the Cover Art Archive
(coverartarchive.org). HTTPS on 127.0.0.1:443, HTTP/1.1 with keep-alive,
scripted by the tests and recording what it sees.

Control is a folder shared with the tests:
  response.json  read at every connection and request; missing means the
                 default replies (below). Its fields script the catalogue's
                 answer; its members "musicbrainz" and "coverartarchive" hold
                 the same fields for those services. Fields: status, body,
                 location (a Location header), delay (seconds before
                 answering), stall (never answer: at the top level neither the
                 TLS handshake of a new connection nor a request on an open
                 one; for a service, its requests), close_mid_body (send half
                 the body, then close), drop (close the connection without a
                 word once a request has arrived), trickle (seconds between
                 the body's bytes).
  log.jsonl      one line per TLS connection accepted, per handshake (the TLS
                 version agreed) and per request (host, path and headers as
                 received, and the time it arrived); a request is logged after
                 its answer was chosen and before it is sent.
  ready          written once the server listens.

Default replies: ALBUMS says which service knows each of its albums; an album
not in it is the catalogue's (a track whose album cover URL is derived from
the request path) and unknown to MusicBrainz. MusicBrainz answers a known
album with its release group; the Cover Art Archive answers 307 to an image
at archive.org for a release group with a front image, 404 otherwise.

Requests that name the artist "Corvane Barrier" (however the query is laid
out or encoded) get no script and a clean miss, an empty search result (and
the defaults, all misses, from the other services): the tests look up such a
track, without an album, to know that every lookup before it has ended, and
the miss changes nothing on the card, so Discord gets no second update for it.
"""
import hashlib
import json
import os
import re
import socket
import ssl
import sys
import threading
import time
import urllib.parse

STALL_SECONDS = 20
IDLE_SECONDS = 30
BARRIER_ARTIST = "corvane barrier"


# The stub's albums, by title: (the catalogue has it, MusicBrainz has it, the
# Cover Art Archive has its front image).
ALBUMS = {
    "Kind of Blue": (True, True, True),
    "Abbey Road": (True, True, True),
    "Basement Tapes 1967": (False, True, True),
    "Live at the Corner Pub": (False, True, True),
    "Regional Pressing": (False, True, True),
    "Goldberg Variations (Leipzig 1951)": (False, True, False),
    "Demo Tape": (False, False, False),
    "Cassette Only": (False, False, False),
}
SERVICES = {"api.deezer.com": None, "musicbrainz.org": "musicbrainz",
            "coverartarchive.org": "coverartarchive"}


def load_script(folder):
    try:
        with open(os.path.join(folder, "response.json"), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def script_for(script, host):
    member = SERVICES.get(host.split(":")[0])
    return script.get(member, {}) if member else script


def album_of(request_path, pattern):
    """The album named in a query: the catalogue's album:"..." or MusicBrainz's releasegroup:"..."."""
    query = urllib.parse.unquote(urllib.parse.urlsplit(request_path).query)
    match = re.search(pattern, query)
    return re.sub(r'\\(.)', r"\1", match.group(1)) if match else ""


def mbid_of(album):
    digest = hashlib.md5(album.encode()).hexdigest()
    return "-".join((digest[:8], digest[8:12], digest[12:16], digest[16:20], digest[20:32]))


def catalogue_body(path):
    known = ALBUMS.get(album_of(path, r'album:"([^"]*)"'))
    if known is not None and not known[0]:
        return json.dumps({"data": [], "total": 0})
    image_id = hashlib.md5(path.encode()).hexdigest()
    cover = "https://e-cdns-images.dzcdn.net/images/cover/%s/250x250-000000-80-0-0.jpg" % image_id
    return json.dumps({"data": [{"id": 3135556, "title": "Track", "artist": {"id": 27}, "album": {
        "id": 302127, "title": "Album", "cover_medium": cover,
        "cover_xl": cover.replace("250x250", "1000x1000")}}], "total": 1})


def musicbrainz_body(path):
    album = album_of(path, r'releasegroup:"((?:[^"\\]|\\.)*)"')
    known = ALBUMS.get(album)
    groups = []
    if known is not None and known[1]:
        groups = [{"id": mbid_of(album), "type-id": "f529b476-6e62-324f-b0aa-1f3e33d313fc",
                   "score": 100, "title": album, "primary-type": "Album"}]
    return json.dumps({"created": "2026-12-10T00:00:00.000Z", "count": len(groups), "offset": 0,
                       "release-groups": groups})


def front_answer(path):
    """Status and Location for /release-group/<mbid>/front-250."""
    for album, known in ALBUMS.items():
        if known[2] and "/%s/" % mbid_of(album) in path:
            mbid = mbid_of(album)
            return 307, ("https://ia800100.us.archive.org/24/items/mbid-%s/mbid-%s-1000000001_thumb250.jpg"
                         % (mbid, mbid))
    return 404, None


def is_barrier(path):
    return BARRIER_ARTIST in urllib.parse.unquote_plus(path).lower()


def default_answer(host, path):
    """Status, body and Location of the default reply."""
    member = SERVICES.get(host.split(":")[0])
    if member is None and is_barrier(path):
        return 200, json.dumps({"data": [], "total": 0}), None
    if member == "musicbrainz":
        return 200, musicbrainz_body(path), None
    if member == "coverartarchive":
        status, location = front_answer(path)
        return status, "See: %s\n" % location if location else "Not found\n", location
    return 200, catalogue_body(path), None


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
            host = next((v for n, v in request["headers"] if n.lower() == "host"), "")
            script = {} if is_barrier(request["path"]) else script_for(load_script(folder), host)
            request.update({"event": "request", "connection": number, "host": host, "time": time.time()})
            log.write(request)
            if script.get("stall"):
                time.sleep(STALL_SECONDS)
                break
            if script.get("drop"):
                break
            time.sleep(script.get("delay", 0))
            status, body, location = default_answer(host, request["path"])
            body = script.get("body", body).encode("utf-8")
            status = script.get("status", status)
            location = script.get("location", location)
            head = ("HTTP/1.1 %d Scripted\r\nContent-Type: application/json; charset=utf-8\r\n"
                    "Content-Length: %d\r\nConnection: keep-alive\r\n%s\r\n"
                    % (status, len(body), "Location: %s\r\n" % location if location else ""))
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

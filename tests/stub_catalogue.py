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
                 the same fields for those services, and its member
                 "album_search" those for the catalogue's album search
                 (/search/album), which otherwise gets the catalogue's own
                 fields. Fields: status, body,
                 location (a Location header), delay (seconds before
                 answering), stall (never answer: at the top level neither the
                 TLS handshake of a new connection nor a request on an open
                 one; for a service, its requests), close_mid_body (send half
                 the body, then close), drop (close the connection without a
                 word once a request has arrived), trickle (seconds between
                 the body's bytes), close (answer with "Connection: close" and
                 close), handshake_delay (for a service: seconds its new
                 connections' TLS handshakes take, told apart by the name the
                 client asks for).
  log.jsonl      one line per TLS connection accepted, per handshake (the TLS
                 version agreed, the name the client asked for, when it ended)
                 and per request (host, path and headers as
                 received, and the time it arrived); a request is logged after
                 its answer was chosen and before it is sent.
  ready          written once the server listens.

Default replies: the catalogue answers a track search (artist:"…" with
track:"…" and album:"…" when given, strict, &limit=N) as the real one does,
every non-ASCII character escaped as \\uXXXX. An artist of CATALOGUE gets the
tracks of that table that match: the same artist and album ignoring case, a
title that holds the title asked for ignoring case, in the table's order, at
most N; a name asked for with combining accents matches the table's
precomposed one (both searches compare names in NFC). Any other artist's
track is the catalogue's, on the album asked for, with a cover derived from
artist and album (or title) and the title asked for, unless ALBUMS says the
catalogue lacks the album. A title with a version in
parentheses at its end ("Dusk (Remastered 2011)") is listed as the catalogue
lists it: "title_short" without the version, "title_version" the version.
The album search (artist:"…" album:"…", strict, &limit=N) answers as the
real one does, in the same escaping: for an artist of CATALOGUE its albums of
that title ignoring case, for any other artist the album asked for with the
cover its tracks have, unless ALBUMS says the catalogue lacks it. MusicBrainz answers an album
of ALBUMS with release groups of that title: another artist's first (score
100), then, when it has the album, one credited to the artist asked for in
capitals; the Cover Art Archive answers 307 to an image at archive.org for a
release group of the artist asked for with a front image, 404 otherwise (so
another artist's release group taken by mistake shows no cover).

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
import unicodedata
import urllib.parse

STALL_SECONDS = 20
IDLE_SECONDS = 30
BARRIER_ARTIST = "corvane barrier"


# The stub's albums by any artist not in CATALOGUE, by title: (the catalogue
# has it, MusicBrainz has it by the artist asked for, the Cover Art Archive has
# its front image). MusicBrainz has each of them by another artist as well.
ALBUMS = {
    "Kind of Blue": (True, True, True),
    "Abbey Road": (True, True, True),
    "Basement Tapes 1967": (False, True, True),
    "Live at the Corner Pub": (False, True, True),
    "Regional Pressing": (False, True, True),
    "Goldberg Variations (Leipzig 1951)": (False, True, False),
    "Demo Tape": (False, False, False),
    "Cassette Only": (False, False, False),
    "Greatest Hits": (False, False, True),
    "\u041e\u0441\u0435\u043d\u044c": (False, True, True),  # Осень
}
OTHER_ARTIST = "Somebody Else"

# The catalogue's own tracks of a few artists, each with several albums:
# (artist, album, title), in the order the catalogue ranks them.
CATALOGUE = [
    ("Corvane Quartet", "Early Days", "Morning"),
    ("Corvane Quartet", "Early Days", "Blue (Live)"),
    ("Corvane Quartet", "Early Days", "Noon"),
    ("Corvane Quartet", "Late Nights", "Midnight"),
    ("Corvane Quartet", "Late Nights", "Blue"),
    ("\u00c9lodie Varga", "Caf\u00e9", "L\u2019enfer"),  # Élodie Varga, Café, L’enfer
    ("\u00c9lodie Varga", "Caf\u00e9", "\u00c9t\u00e9"),  # Été
    ("\u00c9lodie Varga", "Rive Gauche", "Pluie"),
    ("\u039f\u03c1\u03c6\u03ad\u03b1\u03c2", "\u039b\u03cc\u03b3\u03bf\u03c2",
     "\u039b\u03cc\u03b3\u03bf\u03c2"),  # Ορφέας, Λόγος, Λόγος
    ("\u039f\u03c1\u03c6\u03ad\u03b1\u03c2", "\u0398\u03ac\u03bb\u03b1\u03c3\u03c3\u03b1",
     "\u039a\u03cd\u03bc\u03b1"),  # Θάλασσα, Κύμα
    ("\u0411\u0435\u043b\u0430\u044f \u0420\u0435\u043a\u0430", "\u0417\u0438\u043c\u0430",
     "\u0421\u043d\u0435\u0433"),  # Белая Река, Зима, Снег
    ("\u0411\u0435\u043b\u0430\u044f \u0420\u0435\u043a\u0430", "\u041b\u0435\u0442\u043e",
     "\u0421\u043e\u043b\u043d\u0446\u0435"),  # Лето, Солнце
    ("Corvane Quartet", "Late Nights", "Dusk (Remastered 2011)"),
]
CATALOGUE_ARTISTS = {artist.casefold() for artist, _, _ in CATALOGUE}
SERVICES = {"api.deezer.com": None, "musicbrainz.org": "musicbrainz",
            "coverartarchive.org": "coverartarchive"}


def load_script(folder):
    try:
        with open(os.path.join(folder, "response.json"), encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def is_album_search(path):
    return urllib.parse.urlsplit(path).path == "/search/album"


def script_for(script, host, path=""):
    member = SERVICES.get(host.split(":")[0])
    if member:
        return script.get(member, {})
    return script.get("album_search", script) if is_album_search(path) else script


def query_of(request_path):
    return urllib.parse.unquote(urllib.parse.urlsplit(request_path).query)


def field(query, name):
    """The value of name:"..." in a search query ('\\"' escapes a quote in MusicBrainz's)."""
    match = re.search(r'\b%s:"((?:[^"\\]|\\.)*)"' % name, query)
    return re.sub(r'\\(.)', r"\1", match.group(1)) if match else ""


def limit_of(request_path):
    values = urllib.parse.parse_qs(urllib.parse.urlsplit(request_path).query).get("limit", ["25"])
    return int(values[0]) if values[0].isdigit() else 25


def mbid_of(album):
    digest = hashlib.md5(album.encode()).hexdigest()
    return "-".join((digest[:8], digest[8:12], digest[12:16], digest[16:20], digest[20:32]))


def cover_of(*names):
    image_id = hashlib.md5("|".join(names).encode()).hexdigest()
    return "https://e-cdns-images.dzcdn.net/images/cover/%s/250x250-000000-80-0-0.jpg" % image_id


def covers(album_id, cover):
    return {"cover": "https://api.deezer.com/album/%d/image" % album_id,
            "cover_small": cover.replace("/250x250", "/56x56"), "cover_medium": cover,
            "cover_big": cover.replace("/250x250", "/500x500"),
            "cover_xl": cover.replace("/250x250", "/1000x1000"), "md5_image": cover.split("/")[-2]}


def artist_record(artist_id, artist):
    return {"id": artist_id, "name": artist, "link": "https://www.deezer.com/artist/%d" % artist_id,
            "tracklist": "https://api.deezer.com/artist/%d/top?limit=50" % artist_id, "type": "artist"}


def track_record(track_id, title, artist_id, artist, album_id, album, cover):
    version = re.search(r" (\([^()]*\))$", title)
    album_record = {"id": album_id, "title": album}
    album_record.update(covers(album_id, cover))
    album_record.update({"tracklist": "https://api.deezer.com/album/%d/tracks" % album_id, "type": "album"})
    return {"id": track_id, "readable": True, "title": title,
            "title_short": title[:version.start()] if version else title,
            "title_version": version.group(1) if version else "",
            "link": "https://www.deezer.com/track/%d" % track_id, "duration": 245, "rank": 500000,
            "artist": artist_record(artist_id, artist), "album": album_record, "type": "track"}


def album_record(album_id, album, artist_id, artist, cover):
    record = {"id": album_id, "title": album, "link": "https://www.deezer.com/album/%d" % album_id}
    record.update(covers(album_id, cover))
    record.update({"genre_id": 132, "nb_tracks": 10, "record_type": "album",
                   "tracklist": "https://api.deezer.com/album/%d/tracks" % album_id, "explicit_lyrics": False,
                   "artist": artist_record(artist_id, artist), "type": "album"})
    return record


def catalogue_artist_id(artist):
    return 900 + sorted(CATALOGUE_ARTISTS).index(artist.casefold())


def catalogue_album_id(album):
    return 7000 + [a for _, a, _ in CATALOGUE].index(album)


def catalogue_body(path):
    query = query_of(path)
    artist, title, album = (unicodedata.normalize("NFC", field(query, name))
                            for name in ("artist", "track", "album"))
    if artist.casefold() in CATALOGUE_ARTISTS:
        tracks = []
        for number, (own_artist, own_album, own_title) in enumerate(CATALOGUE):
            if (own_artist.casefold() == artist.casefold()
                    and (not album or own_album.casefold() == album.casefold())
                    and title.casefold() in own_title.casefold()):
                tracks.append(track_record(
                    4000 + number, own_title, catalogue_artist_id(own_artist), own_artist,
                    catalogue_album_id(own_album), own_album, cover_of(own_artist, own_album)))
        tracks = tracks[:limit_of(path)]
        return json.dumps({"data": tracks, "total": len(tracks)})
    known = ALBUMS.get(album)
    if known is not None and not known[0]:
        return json.dumps({"data": [], "total": 0})
    record = track_record(3135556, title or "Track", 27, artist, 302127, album or title + " (Single)",
                          cover_of(artist, album or title))
    return json.dumps({"data": [record], "total": 1})


def album_search_body(path):
    query = query_of(path)
    artist, album = (unicodedata.normalize("NFC", field(query, name)) for name in ("artist", "album"))
    if artist.casefold() in CATALOGUE_ARTISTS:
        albums = []
        for own_artist, own_album, _ in CATALOGUE:
            if (own_artist.casefold() == artist.casefold() and own_album.casefold() == album.casefold()
                    and own_album not in [a["title"] for a in albums]):
                albums.append(album_record(catalogue_album_id(own_album), own_album,
                                           catalogue_artist_id(own_artist), own_artist,
                                           cover_of(own_artist, own_album)))
        albums = albums[:limit_of(path)]
        return json.dumps({"data": albums, "total": len(albums)})
    known = ALBUMS.get(album)
    if not album or (known is not None and not known[0]):
        return json.dumps({"data": [], "total": 0})
    record = album_record(302127, album, 27, artist, cover_of(artist, album))
    return json.dumps({"data": [record], "total": 1})


def release_group(mbid, album, artist):
    return {"id": mbid, "type-id": "f529b476-6e62-324f-b0aa-1f3e33d313fc", "score": 100, "title": album,
            "primary-type": "Album",
            "artist-credit": [{"name": artist, "artist": {"id": mbid_of(artist), "name": artist}}]}


def musicbrainz_body(path):
    query = query_of(path)
    album, artist = field(query, "releasegroup"), field(query, "artist")
    known = ALBUMS.get(album)
    groups = []
    if known is not None:
        groups.append(release_group(mbid_of(album + "|" + OTHER_ARTIST), album, OTHER_ARTIST))
        if known[1]:
            groups.append(release_group(mbid_of(album), album, artist.upper()))
    return json.dumps({"created": "2026-12-10T00:00:00.000Z", "count": len(groups), "offset": 0,
                       "release-groups": groups})


def front_answer(path):
    """Status and Location for /release-group/<mbid>/front-250."""
    for album, known in ALBUMS.items():
        mbid = mbid_of(album)
        if known[2] and "/%s/" % mbid in path:
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
    if is_album_search(path):
        return 200, album_search_body(path), None
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
    log.write({"event": "handshake", "connection": number, "version": tls.version(),
               "server_name": getattr(tls, "requested_name", None), "time": time.time()})
    stream = tls.makefile("rb")
    try:
        while True:
            request = read_request(stream)
            if request is None:
                break
            host = next((v for n, v in request["headers"] if n.lower() == "host"), "")
            script = {} if is_barrier(request["path"]) else script_for(load_script(folder), host, request["path"])
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
                    "Content-Length: %d\r\nConnection: %s\r\n%s\r\n"
                    % (status, len(body), "close" if script.get("close") else "keep-alive",
                       "Location: %s\r\n" % location if location else ""))
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
            if script.get("close"):
                break
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

    def delay_handshake(connection, server_name, _context):
        connection.requested_name = server_name
        time.sleep(script_for(load_script(folder), server_name or "").get("handshake_delay", 0))

    context.sni_callback = delay_handshake
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

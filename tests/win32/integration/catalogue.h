// The stub catalogue as the tests see it: scripting its answers for the three
// cover services and reading back the TLS connections and requests it
// received (see stub_catalogue.py).
#pragma once

#include <string>
#include <utility>
#include <vector>

// The services' host names, as the requests name them.
inline constexpr char catalogue_host[] = "api.deezer.com";
inline constexpr char musicbrainz_host[] = "musicbrainz.org";
inline constexpr char cover_art_archive_host[] = "coverartarchive.org";

struct catalogue_request {
    int connection;
    std::string host;
    std::string path;
    double time; // when it arrived, in seconds
    std::vector<std::pair<std::string, std::string>> headers;
    bool has_header(const std::string &name) const;
    // The value of a header (names compare without case); empty when absent.
    std::string header(const std::string &name) const;
};

// Start of the artist of the tests' barrier lookups, which the stub always
// answers with a clean miss; catalogue_requests() leaves their requests out.
inline constexpr wchar_t catalogue_barrier_artist[] = L"Corvane Barrier";

// Whether the stub catalogue runs (tests/private-net-run starts it, and makes
// its test CA the one root certificate every Wine program there trusts).
bool catalogue_available();
// Scripts every later answer with a JSON object of response fields (the
// catalogue's; its members "musicbrainz" and "coverartarchive" script those).
void catalogue_respond(const std::string &response_json);
// Back to the default answer (a cover derived from the request path), and an empty record.
void catalogue_reset();
// The requests received by the service of `host`, the barrier's left out.
std::vector<catalogue_request> catalogue_requests(const std::string &host = catalogue_host);
int catalogue_connections();
// Every request received, the barrier's included; cheap enough to ask after every lookup.
size_t catalogue_request_count();
// The barrier's requests received.
int catalogue_barrier_requests();
// The TLS version agreed for each connection ("TLSv1.3"), in order.
std::vector<std::string> catalogue_tls_versions();
// Escapes text for a JSON string literal.
std::string json_quote(const std::string &text);

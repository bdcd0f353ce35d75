// The stub catalogue as the tests see it: scripting its answer and reading
// back the TLS connections and requests it received (see stub_catalogue.py).
#pragma once

#include <string>
#include <utility>
#include <vector>

struct catalogue_request {
    int connection;
    std::string path;
    std::vector<std::pair<std::string, std::string>> headers;
    bool has_header(const std::string &name) const;
    // The value of a header (names compare without case); empty when absent.
    std::string header(const std::string &name) const;
};

// Adds the test CA (CORVANE_TEST_CA, set by tests/private-net-run) to the
// Wine prefix's trusted roots; false when it cannot.
bool catalogue_trust_test_ca();
// Scripts every later answer with a JSON object of response fields.
void catalogue_respond(const std::string &response_json);
// Back to the default answer (a cover derived from the request path), and an empty record.
void catalogue_reset();
std::vector<catalogue_request> catalogue_requests();
int catalogue_connections();
// Escapes text for a JSON string literal.
std::string json_quote(const std::string &text);

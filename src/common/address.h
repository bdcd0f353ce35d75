// Addresses (URLs) taken apart: scheme, user, password, host, port, path
// segments, query names and values, fragment, each percent-decoded; and
// percent-encoding for the words a request carries. The one place the
// plug-in splits an address. No Windows API here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct address_query_item {
    std::string name; // percent-decoded
    std::string value;
};

struct address_parts {
    std::string scheme;    // in lower case, without "://"
    bool has_user = false; // a "user@" or "user:password@" before the host
    std::string user;      // percent-decoded
    bool has_password = false;
    std::string password;
    std::string host;                       // percent-decoded, in lower case; "[…]" for an IPv6 address
    std::string port;                       // the digits after the host's ':', or empty
    std::vector<std::string> path_segments; // the non-empty ones, percent-decoded
    bool has_query = false;
    std::vector<address_query_item> query;
    bool has_fragment = false;
    std::string fragment;
};

// `text` with every "%XX" (two hexadecimal digits) read as the byte it
// encodes; a '%' without two digits after it stays as it is.
std::string percent_decode(std::string_view text);

// Appends `text` (UTF-8) to `out` with every byte outside A-Z a-z 0-9 - . _ ~
// percent-encoded, so the words reach a service as they are and can never add
// or cut query parameters.
void append_percent_encoded(std::string &out, std::string_view text);

// The scheme of `text` when it starts with one followed by "://" (a letter,
// then letters, digits, '+', '-' or '.'), in lower case; else nothing.
std::optional<std::string> address_scheme(std::string_view text);

// `text` taken apart, or nothing when it does not start with "scheme://".
std::optional<address_parts> split_address(std::string_view text);

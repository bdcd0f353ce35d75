// Album cover lookup over WinHTTP: the session and connection kept for the
// plug-in's life, one request per lookup, a bounded wait and a bounded reply.
#include "cover/cover_http.h"

#include "cover/cover_query.h"

#include <windows.h>
#include <winhttp.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr wchar_t catalogue_host[] = L"api.deezer.com";
constexpr char fallback_image[] = "winamp-logo";
constexpr wchar_t request_headers[] = L"Content-Type: application/json; charset=utf-8";

// Each phase of a lookup may wait this long, so a service that cannot be
// reached or stalls gives the player back within seconds, not minutes.
constexpr int resolve_timeout_ms = 2000;
constexpr int connect_timeout_ms = 2000;
constexpr int send_timeout_ms = 2000;
constexpr int receive_timeout_ms = 2000;

// A search reply is a few tens of kilobytes; a longer body is not read.
constexpr size_t max_reply_bytes = 1 << 20;

HINTERNET http_session;
HINTERNET http_connection;

// Owner of a request handle.
class unique_request {
  public:
    explicit unique_request(HINTERNET handle) : handle_(handle) {}
    ~unique_request()
    {
        if (handle_ != nullptr) {
            WinHttpCloseHandle(handle_);
        }
    }
    unique_request(const unique_request &) = delete;
    unique_request &operator=(const unique_request &) = delete;
    HINTERNET get() const { return handle_; }

  private:
    HINTERNET handle_;
};

std::string to_utf8(const wchar_t *text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<size_t>(size) - 1);
    return utf8;
}

bool open_connection()
{
    if (http_session == nullptr) {
        http_session = WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0);
        if (http_session == nullptr) {
            return false;
        }
        WinHttpSetTimeouts(http_session, resolve_timeout_ms, connect_timeout_ms, send_timeout_ms,
                           receive_timeout_ms);
        // Waiting for the response headers has a bound of its own (90 s by default).
        DWORD response_timeout_ms = receive_timeout_ms;
        WinHttpSetOption(http_session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_timeout_ms,
                         sizeof response_timeout_ms);
    }
    if (http_connection == nullptr) {
        http_connection = WinHttpConnect(http_session, catalogue_host, INTERNET_DEFAULT_HTTPS_PORT, 0);
    }
    return http_connection != nullptr;
}

// The whole body of a GET of `path` (an ASCII path, already encoded), or
// nothing when the exchange fails or the body is longer than the cap.
std::optional<std::string> fetch_body(const std::string &path)
{
    const std::wstring wide_path(path.begin(), path.end());
    // Secure, and without escape-percent: the path is sent exactly as built.
    unique_request request(WinHttpOpenRequest(http_connection, L"GET", wide_path.c_str(), nullptr,
                                              WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                              WINHTTP_FLAG_SECURE));
    if (request.get() == nullptr ||
        !WinHttpSendRequest(request.get(), request_headers, static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return std::nullopt;
    }
    std::string body;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) {
            return std::nullopt;
        }
        if (available == 0) {
            return body;
        }
        if (body.size() + available > max_reply_bytes) {
            return std::nullopt;
        }
        const size_t total = body.size();
        body.resize(total + available);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), body.data() + total, available, &read)) {
            return std::nullopt;
        }
        body.resize(total + read);
    }
}

} // namespace

void fetch_cover_url(const wchar_t *artist, const wchar_t *album, char *large_image)
{
    std::strcpy(large_image, fallback_image);
    if (!open_connection() || artist[0] == L'\0') {
        return;
    }
    // The status is not examined: an error reply that carries data is still used.
    std::optional<std::string> body = fetch_body(cover_search_path(to_utf8(artist), to_utf8(album)));
    if (!body || body->empty()) {
        return;
    }
    const std::string url = cover_read_reply(body->data()).url;
    if (!url.empty() && url.size() <= cover_url_max_bytes) {
        std::memcpy(large_image, url.c_str(), url.size() + 1);
    }
}

void cover_close_connection()
{
    if (http_session != nullptr) {
        WinHttpCloseHandle(http_session);
        http_session = nullptr;
    }
    if (http_connection != nullptr) {
        WinHttpCloseHandle(http_connection);
        http_connection = nullptr;
    }
}

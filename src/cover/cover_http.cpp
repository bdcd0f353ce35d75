// WinHTTP exchange of the cover lookup: the session with the user's proxy and
// modern TLS, the time-outs that bound each phase and the whole exchange, a
// bounded reply, and the request handle shared with a canceller.
#include "cover/cover_http.h"

#include <algorithm>
#include <initializer_list>

namespace {

constexpr wchar_t catalogue_host[] = L"api.deezer.com";
constexpr wchar_t request_headers[] = L"Content-Type: application/json; charset=utf-8";

// Each phase (name resolution, connection, TLS handshake, sending, each wait
// for data) may take `phase_timeout_ms`; the whole exchange, from its start to
// the last byte, `exchange_deadline_ms`, so that a server trickling its reply
// cannot hold the worker either.
constexpr DWORD phase_timeout_ms = 5000;
constexpr DWORD exchange_deadline_ms = 10000;

// A search reply is a few kilobytes; a longer body is not read.
constexpr size_t max_reply_bytes = 1 << 20;

// Windows 8.1 and later apply the system's proxy settings, automatic
// configuration included; earlier systems refuse the access type.
internet_handle open_automatic_proxy_session()
{
    return internet_handle(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
}

// Owner of the strings of an Internet Explorer proxy configuration.
struct ie_proxy_config : WINHTTP_CURRENT_USER_IE_PROXY_CONFIG {
    ie_proxy_config() : WINHTTP_CURRENT_USER_IE_PROXY_CONFIG{} {}
    ~ie_proxy_config()
    {
        for (LPWSTR text : {lpszAutoConfigUrl, lpszProxy, lpszProxyBypass}) {
            if (text != nullptr) {
                GlobalFree(text);
            }
        }
    }
    ie_proxy_config(const ie_proxy_config &) = delete;
    ie_proxy_config &operator=(const ie_proxy_config &) = delete;
};

// Before Windows 8.1: the proxy server the current user set in Internet
// Explorer's settings, else WinHTTP's own default (normally a direct
// connection). A configuration script or automatic detection alone is not
// followed there.
internet_handle open_ie_proxy_session()
{
    ie_proxy_config ie;
    if (WinHttpGetIEProxyConfigForCurrentUser(&ie) && ie.lpszProxy != nullptr) {
        return internet_handle(
            WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, ie.lpszProxy,
                        ie.lpszProxyBypass != nullptr ? ie.lpszProxyBypass : WINHTTP_NO_PROXY_BYPASS, 0));
    }
    return internet_handle(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
}

// Offers TLS 1.2 and 1.3: Windows 7's WinHTTP offers only TLS 1.0 unless told.
// A system that does not know a protocol refuses the whole set, so the offer
// shrinks until one is accepted, and the system's default stays otherwise.
void offer_modern_tls(HINTERNET session)
{
    constexpr DWORD offers[] = {WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3,
                                WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2};
    for (DWORD protocols : offers) {
        if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
            return;
        }
    }
}

bool open_connection(http_client *client)
{
    if (!client->session) {
        client->session = open_automatic_proxy_session();
        if (!client->session) {
            client->session = open_ie_proxy_session();
        }
        if (!client->session) {
            return false;
        }
        offer_modern_tls(client->session.get());
    }
    if (!client->connection) {
        client->connection.reset(
            WinHttpConnect(client->session.get(), catalogue_host, INTERNET_DEFAULT_HTTPS_PORT, 0));
    }
    return static_cast<bool>(client->connection);
}

// Milliseconds the next phase may take: a phase's time-out, cut to what is
// left before `deadline`; 0 once it has passed.
DWORD next_phase_ms(ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
        return 0;
    }
    return static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, phase_timeout_ms));
}

// Bounds every wait of the request's next phase; false when the deadline has
// passed (a time-out of 0 would mean no time-out at all to WinHTTP).
bool bound_next_phase(HINTERNET request, ULONGLONG deadline)
{
    DWORD timeout_ms = next_phase_ms(deadline);
    const int timeout = static_cast<int>(timeout_ms);
    return timeout_ms != 0 && WinHttpSetTimeouts(request, timeout, timeout, timeout, timeout) &&
           WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &timeout_ms, sizeof timeout_ms);
}

// A request open on the worker's thread and published to a canceller: it is
// closed by whichever of this owner and http_cancel_all comes first.
class cancellable_request {
  public:
    cancellable_request(http_cancel *cancel, HINTERNET request) : cancel_(cancel), request_(request)
    {
        if (request_ == nullptr) {
            return;
        }
        AcquireSRWLockExclusive(&cancel_->lock);
        const bool refused = cancel_->cancelled;
        if (!refused) {
            cancel_->request = request_;
        }
        ReleaseSRWLockExclusive(&cancel_->lock);
        if (refused) {
            WinHttpCloseHandle(request_);
            request_ = nullptr;
        }
    }
    ~cancellable_request()
    {
        AcquireSRWLockExclusive(&cancel_->lock);
        const bool still_ours = request_ != nullptr && cancel_->request == request_;
        if (still_ours) {
            cancel_->request = nullptr;
        }
        ReleaseSRWLockExclusive(&cancel_->lock);
        if (still_ours) {
            WinHttpCloseHandle(request_);
        }
    }
    cancellable_request(const cancellable_request &) = delete;
    cancellable_request &operator=(const cancellable_request &) = delete;

    // The request, NULL when it was refused.
    HINTERNET get() const { return request_; }

  private:
    http_cancel *cancel_;
    HINTERNET request_;
};

bool send_and_wait_for_headers(HINTERNET request, ULONGLONG deadline)
{
    return bound_next_phase(request, deadline) &&
           WinHttpSendRequest(request, request_headers, static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0,
                              0, 0) &&
           bound_next_phase(request, deadline) && WinHttpReceiveResponse(request, nullptr);
}

std::optional<unsigned> status_code(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    return status;
}

// The whole body, or nothing when reading fails, passes the deadline or the cap.
std::optional<std::string> read_body(HINTERNET request, ULONGLONG deadline)
{
    std::string body;
    for (;;) {
        DWORD available = 0;
        if (!bound_next_phase(request, deadline) || !WinHttpQueryDataAvailable(request, &available)) {
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
        if (!WinHttpReadData(request, body.data() + total, available, &read)) {
            return std::nullopt;
        }
        body.resize(total + read);
    }
}

} // namespace

void http_cancel_all(http_cancel *cancel)
{
    AcquireSRWLockExclusive(&cancel->lock);
    cancel->cancelled = true;
    const HINTERNET request = cancel->request;
    cancel->request = nullptr;
    ReleaseSRWLockExclusive(&cancel->lock);
    if (request != nullptr) {
        WinHttpCloseHandle(request);
    }
}

std::optional<http_reply> http_get(http_client *client, const std::string &path, http_cancel *cancel)
{
    const ULONGLONG deadline = GetTickCount64() + exchange_deadline_ms;
    if (!open_connection(client)) {
        return std::nullopt;
    }
    const std::wstring wide_path(path.begin(), path.end());
    // Secure, and without escape-percent: the path is sent exactly as built.
    cancellable_request request(
        cancel, WinHttpOpenRequest(client->connection.get(), L"GET", wide_path.c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (request.get() == nullptr || !send_and_wait_for_headers(request.get(), deadline)) {
        return std::nullopt;
    }
    const std::optional<unsigned> status = status_code(request.get());
    if (!status) {
        return std::nullopt;
    }
    std::optional<std::string> body = read_body(request.get(), deadline);
    if (!body) {
        return std::nullopt;
    }
    return http_reply{*status, std::move(*body)};
}

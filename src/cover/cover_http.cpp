// WinHTTP exchanges of the cover lookup: the session with the user's proxy
// and modern TLS, the time-outs that bound each phase and the whole exchange,
// a bounded reply, the pace kept with MusicBrainz, and the request handle
// shared with a canceller.
#include "cover/cover_http.h"

#include "version.h"

#include <algorithm>
#include <initializer_list>

namespace {

// By http_service.
constexpr const wchar_t *service_hosts[http_service_count] = {L"api.deezer.com", L"musicbrainz.org",
                                                              L"coverartarchive.org"};
constexpr wchar_t request_headers[] = L"Content-Type: application/json; charset=utf-8";

// Names the plug-in, its version and a contact on every request, as
// MusicBrainz asks of every client.
constexpr wchar_t user_agent[] = L"DiscordCorvane/" PLUGIN_VERSION_WIDE L" ( " PLUGIN_CONTACT_WIDE L" )";

// MusicBrainz takes one request per second from an address, counted where
// they arrive: the pause runs from the end of the exchange before, after its
// request arrived there.
constexpr ULONGLONG musicbrainz_interval_ms = 1000;

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
    return internet_handle(WinHttpOpen(user_agent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
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
            WinHttpOpen(user_agent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, ie.lpszProxy,
                        ie.lpszProxyBypass != nullptr ? ie.lpszProxyBypass : WINHTTP_NO_PROXY_BYPASS, 0));
    }
    return internet_handle(WinHttpOpen(user_agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
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

// The connection to `service`, or NULL when it cannot be made.
HINTERNET open_connection(http_client *client, http_service service)
{
    if (!client->session) {
        client->session = open_automatic_proxy_session();
        if (!client->session) {
            client->session = open_ie_proxy_session();
        }
        if (!client->session) {
            return nullptr;
        }
        offer_modern_tls(client->session.get());
    }
    const auto index = static_cast<size_t>(service);
    internet_handle &connection = client->connections[index];
    if (!connection) {
        connection.reset(
            WinHttpConnect(client->session.get(), service_hosts[index], INTERNET_DEFAULT_HTTPS_PORT, 0));
    }
    return connection.get();
}

// Milliseconds of a steady clock precise to far below one: the tick count
// moves in steps of up to 16 ms.
ULONGLONG precise_clock_ms()
{
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return static_cast<ULONGLONG>(count.QuadPart / frequency.QuadPart * 1000 +
                                  count.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart);
}

// Waits until `until` (precise_clock_ms); false when cancelled or held first.
bool wait_until(http_cancel *cancel, ULONGLONG until)
{
    AcquireSRWLockExclusive(&cancel->lock);
    for (ULONGLONG now = precise_clock_ms(); !cancel->cancelled && !cancel->held && now < until;
         now = precise_clock_ms()) {
        // Rounded up, so that a wake-up a little early is followed by another wait.
        SleepConditionVariableSRW(&cancel->changed, &cancel->lock, static_cast<DWORD>(until - now + 1), 0);
    }
    const bool stopped = cancel->cancelled || cancel->held;
    ReleaseSRWLockExclusive(&cancel->lock);
    return !stopped;
}

// Keeps a second after the last exchange with MusicBrainz; false when cancelled or held meanwhile.
bool keep_musicbrainz_pace(http_client *client, http_cancel *cancel)
{
    return client->last_musicbrainz_exchange == 0 ||
           wait_until(cancel, client->last_musicbrainz_exchange + musicbrainz_interval_ms);
}

// Notes when an exchange with MusicBrainz ends, however it ends: its request
// arrived there before its answer came back, or not at all.
class musicbrainz_exchange {
  public:
    explicit musicbrainz_exchange(http_client *client) : client_(client) {}
    ~musicbrainz_exchange() { client_->last_musicbrainz_exchange = precise_clock_ms(); }
    musicbrainz_exchange(const musicbrainz_exchange &) = delete;
    musicbrainz_exchange &operator=(const musicbrainz_exchange &) = delete;

  private:
    http_client *client_;
};

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
        const bool refused = cancel_->cancelled || cancel_->held;
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

// Lets the Cover Art Archive's redirect be read rather than followed.
bool refuse_redirects(HINTERNET request)
{
    DWORD feature = WINHTTP_DISABLE_REDIRECTS;
    return WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature);
}

// The reply's Location header when it is printable ASCII; else empty.
std::string location_header(HINTERNET request)
{
    wchar_t location[1024];
    DWORD size = sizeof location;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    std::string ascii;
    for (const wchar_t *c = location; *c != L'\0'; ++c) {
        if (*c < L'!' || *c > L'~') {
            return {};
        }
        ascii += static_cast<char>(*c);
    }
    return ascii;
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
    WakeAllConditionVariable(&cancel->changed);
    if (request != nullptr) {
        WinHttpCloseHandle(request);
    }
}

void http_hold(http_cancel *cancel, bool held)
{
    AcquireSRWLockExclusive(&cancel->lock);
    cancel->held = held;
    ReleaseSRWLockExclusive(&cancel->lock);
    WakeAllConditionVariable(&cancel->changed);
}

std::optional<http_reply> http_get(http_client *client, http_service service, const std::string &path,
                                   http_cancel *cancel)
{
    if (service == http_service::musicbrainz && !keep_musicbrainz_pace(client, cancel)) {
        return std::nullopt;
    }
    std::optional<musicbrainz_exchange> paced;
    if (service == http_service::musicbrainz) {
        paced.emplace(client);
    }
    const ULONGLONG deadline = GetTickCount64() + exchange_deadline_ms;
    const HINTERNET connection = open_connection(client, service);
    if (connection == nullptr) {
        return std::nullopt;
    }
    const std::wstring wide_path(path.begin(), path.end());
    // Secure, and without escape-percent: the path is sent exactly as built.
    cancellable_request request(cancel, WinHttpOpenRequest(connection, L"GET", wide_path.c_str(), nullptr,
                                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                           WINHTTP_FLAG_SECURE));
    const bool read_redirect = service == http_service::cover_art_archive;
    if (request.get() == nullptr || (read_redirect && !refuse_redirects(request.get())) ||
        !send_and_wait_for_headers(request.get(), deadline)) {
        return std::nullopt;
    }
    const std::optional<unsigned> status = status_code(request.get());
    if (!status) {
        return std::nullopt;
    }
    if (read_redirect) {
        return http_reply{*status, {}, location_header(request.get())};
    }
    std::optional<std::string> body = read_body(request.get(), deadline);
    if (!body) {
        return std::nullopt;
    }
    return http_reply{*status, std::move(*body), {}};
}

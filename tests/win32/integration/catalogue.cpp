// Stub catalogue control through its folder.
#include "catalogue.h"

#include "json/json.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::wstring from_environment(const wchar_t *name)
{
    const wchar_t *value = _wgetenv(name);
    return value != nullptr ? value : L"";
}

std::wstring stub_file(const wchar_t *name)
{
    return from_environment(L"CORVANE_STUB_DIR") + L"\\" + name;
}

std::string read_all(const std::wstring &path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string text_of(const json_node *node)
{
    return node != nullptr && node->kind == JSON_STRING ? node->string : "";
}

} // namespace

bool catalogue_available()
{
    return !from_environment(L"CORVANE_STUB_DIR").empty();
}

bool catalogue_request::has_header(const std::string &name) const
{
    for (const auto &entry : headers) {
        if (_stricmp(entry.first.c_str(), name.c_str()) == 0) {
            return true;
        }
    }
    return false;
}

std::string catalogue_request::header(const std::string &name) const
{
    for (const auto &entry : headers) {
        if (_stricmp(entry.first.c_str(), name.c_str()) == 0) {
            return entry.second;
        }
    }
    return {};
}

void catalogue_respond(const std::string &response_json)
{
    // Written aside and moved in, so the stub never reads half a script.
    const std::wstring path = stub_file(L"response.json");
    const std::wstring draft = path + L".draft";
    {
        std::ofstream out(std::filesystem::path(draft), std::ios::binary | std::ios::trunc);
        out << response_json;
    }
    MoveFileExW(draft.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void catalogue_reset()
{
    DeleteFileW(stub_file(L"response.json").c_str());
    DeleteFileW(stub_file(L"log.jsonl").c_str());
}

namespace {

// Every record of the log, parsed.
template <typename Visit> void for_each_record(Visit visit)
{
    std::istringstream log(read_all(stub_file(L"log.jsonl")));
    std::string line;
    while (std::getline(log, line)) {
        json_node *record = json_parse(line.data());
        if (record != nullptr) {
            visit(record);
        }
        json_free(record);
    }
}

} // namespace

std::vector<catalogue_request> catalogue_requests(const std::string &host)
{
    std::vector<catalogue_request> requests;
    for_each_record([&](const json_node *record) {
        if (text_of(json_member(record, "event")) != "request") {
            return;
        }
        catalogue_request request;
        request.path = text_of(json_member(record, "path"));
        if (request.path.find("Corvane%20Barrier") != std::string::npos) { // catalogue_barrier_artist
            return;
        }
        request.host = text_of(json_member(record, "host"));
        if (request.host != host) {
            return;
        }
        request.connection = static_cast<int>(json_member(record, "connection")->integer);
        request.time = json_member(record, "time")->real;
        const json_node *headers = json_member(record, "headers");
        for (const json_node *pair = headers ? headers->first : nullptr; pair != nullptr; pair = pair->next) {
            request.headers.emplace_back(text_of(pair->first), text_of(pair->last));
        }
        requests.push_back(request);
    });
    return requests;
}

size_t catalogue_request_count()
{
    const std::string log = read_all(stub_file(L"log.jsonl"));
    const std::string mark = "\"event\": \"request\"";
    size_t count = 0;
    for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + mark.size())) {
        ++count;
    }
    return count;
}

int catalogue_barrier_requests()
{
    int requests = 0;
    for_each_record([&](const json_node *record) {
        requests += text_of(json_member(record, "event")) == "request" &&
                    text_of(json_member(record, "path")).find("Corvane%20Barrier") != std::string::npos;
    });
    return requests;
}

int catalogue_connections()
{
    int connections = 0;
    for_each_record([&](const json_node *record) {
        connections += text_of(json_member(record, "event")) == "connection";
    });
    return connections;
}

std::vector<std::string> catalogue_tls_versions()
{
    std::vector<std::string> versions;
    for_each_record([&](const json_node *record) {
        if (text_of(json_member(record, "event")) == "handshake") {
            versions.push_back(text_of(json_member(record, "version")));
        }
    });
    return versions;
}

std::string json_quote(const std::string &text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

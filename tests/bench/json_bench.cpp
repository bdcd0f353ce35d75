// Parse-and-release time of the JSON reader beside cJSON (one heap node per
// value, like ours), RapidJSON's in-situ parse and simdjson's DOM parse, on a
// catalogue search reply of 25 tracks and on a 1 MiB document heavy in
// arrays, objects and numbers. Every iteration copies the text into a fresh
// buffer first (the in-place parsers rewrite it), for all four alike.
#include "json/json.h"

#include <benchmark/benchmark.h>
#include <cjson/cJSON.h>
#include <rapidjson/document.h>
#include <simdjson.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A search reply shaped like the catalogue service's: 25 tracks, each with
// its artist and album records and their picture URLs.
std::string search_reply()
{
    std::string text = "{\"data\":[";
    char item[4096];
    for (int i = 0; i < 25; ++i) {
        const char *hash = "2e018122cb56986277102d2041a592c8";
        std::snprintf(
            item, sizeof item,
            "%s{\"id\":%d,\"readable\":true,\"title\":\"Track number %d (Remastered 2011)\","
            "\"title_short\":\"Track number %d\",\"title_version\":\"(Remastered 2011)\","
            "\"link\":\"https:\\/\\/www.deezer.com\\/track\\/%d\",\"duration\":%d,\"rank\":%d,"
            "\"explicit_lyrics\":false,\"explicit_content_lyrics\":0,\"explicit_content_cover\":0,"
            "\"preview\":\"https:\\/\\/cdnt-preview.dzcdn.net\\/api\\/1\\/1\\/a\\/b\\/c\\/0\\/"
            "%s.mp3?hdnea=exp=1765400000~acl=\\/api\\/1\\/1\\/a\\/b\\/c\\/0\\/%s.mp3*~hmac=%s\","
            "\"md5_image\":\"%s\","
            "\"artist\":{\"id\":%d,\"name\":\"The "
            "Band\",\"link\":\"https:\\/\\/www.deezer.com\\/artist\\/%d\","
            "\"picture\":\"https:\\/\\/api.deezer.com\\/artist\\/%d\\/image\","
            "\"picture_small\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/artist\\/%s\\/"
            "56x56-000000-80-0-0.jpg\","
            "\"picture_medium\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/artist\\/%s\\/"
            "250x250-000000-80-0-0.jpg\","
            "\"picture_big\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/artist\\/%s\\/"
            "500x500-000000-80-0-0.jpg\","
            "\"picture_xl\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/artist\\/%s\\/"
            "1000x1000-000000-80-0-0.jpg\","
            "\"tracklist\":\"https:\\/\\/api.deezer.com\\/artist\\/%d\\/top?limit=50\",\"type\":\"artist\"},"
            "\"album\":{\"id\":%d,\"title\":\"First Album (Deluxe Edition)\","
            "\"cover\":\"https:\\/\\/api.deezer.com\\/album\\/%d\\/image\","
            "\"cover_small\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/cover\\/%s\\/"
            "56x56-000000-80-0-0.jpg\","
            "\"cover_medium\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/cover\\/%s\\/"
            "250x250-000000-80-0-0.jpg\","
            "\"cover_big\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/cover\\/%s\\/"
            "500x500-000000-80-0-0.jpg\","
            "\"cover_xl\":\"https:\\/\\/e-cdns-images.dzcdn.net\\/images\\/cover\\/%s\\/"
            "1000x1000-000000-80-0-0.jpg\","
            "\"md5_image\":\"%s\",\"tracklist\":\"https:\\/\\/api.deezer.com\\/album\\/%d\\/"
            "tracks\",\"type\":\"album\"},"
            "\"type\":\"track\"}",
            i == 0 ? "" : ",", 3135556 + i * 7919, i, i, 3135556 + i * 7919, 180 + i * 13, 912345 - i * 1111,
            hash, hash, hash, hash, 27 + i, 27 + i, 27 + i, hash, hash, hash, hash, 27 + i, 302127 + i * 31,
            302127 + i * 31, hash, hash, hash, hash, hash, 302127 + i * 31);
        text += item;
    }
    text += "],\"total\":25,\"next\":\"https:\\/\\/api.deezer.com\\/search\\/"
            "track?q=artist%3A%22The%20Band%22&index=25\"}";
    return text;
}

// About 1 MiB of nested records, arrays of integers and doubles, and short strings.
std::string numeric_document()
{
    std::string text = "{\"series\":[";
    char item[512];
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int i = 0; text.size() < (1u << 20) - 600; ++i) {
        std::snprintf(
            item, sizeof item,
            "%s{\"id\":%d,\"name\":\"s%d\",\"active\":%s,\"origin\":[%d,%d,%d],"
            "\"samples\":[%u,%u,%u,%u,%u,%u,%u,%u],\"weights\":[%.4f,%.6f,%.3e,-%.5f],"
            "\"meta\":{\"scale\":%d.%03d,\"offset\":-%u,\"tags\":[\"a\",\"bb\",\"ccc\"],\"note\":null}}",
            i == 0 ? "" : ",", i, i, (i & 1) ? "true" : "false", i % 7, -(i % 11), i * 3, next() % 100000,
            next() % 1000, next() % 10, next(), next() % 65536, next() % 2, next() % 999999, next() % 42,
            (next() % 100000) / 1000.0, (next() % 1000000) / 7.0, next() * 1.0e-3, (next() % 1000) / 3.0,
            i % 10, static_cast<int>(next() % 1000), next() % 5000);
        text += item;
    }
    text += "]}";
    return text;
}

const std::string &fixture(int which)
{
    static const std::string reply = search_reply();
    static const std::string numbers = numeric_document();
    return which == 0 ? reply : numbers;
}

void set_counters(benchmark::State &state, const std::string &text)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.SetLabel(std::to_string(text.size()) + " bytes");
}

void corvane_json(benchmark::State &state)
{
    const std::string &text = fixture(static_cast<int>(state.range(0)));
    std::vector<char> buffer(text.size() + 1);
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
        json_node *root = json_parse(buffer.data());
        if (root == nullptr) {
            state.SkipWithError("parse failed");
            break;
        }
        benchmark::DoNotOptimize(root);
        json_free(root);
    }
    set_counters(state, text);
}

void cjson(benchmark::State &state)
{
    const std::string &text = fixture(static_cast<int>(state.range(0)));
    std::vector<char> buffer(text.size() + 1);
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
        cJSON *root = cJSON_Parse(buffer.data());
        if (root == nullptr) {
            state.SkipWithError("parse failed");
            break;
        }
        benchmark::DoNotOptimize(root);
        cJSON_Delete(root);
    }
    set_counters(state, text);
}

void rapidjson_insitu(benchmark::State &state)
{
    const std::string &text = fixture(static_cast<int>(state.range(0)));
    std::vector<char> buffer(text.size() + 1);
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
        rapidjson::Document document;
        document.ParseInsitu(buffer.data());
        if (document.HasParseError()) {
            state.SkipWithError("parse failed");
            break;
        }
        benchmark::DoNotOptimize(document);
    }
    set_counters(state, text);
}

void simdjson_dom(benchmark::State &state)
{
    const std::string &text = fixture(static_cast<int>(state.range(0)));
    simdjson::padded_string buffer(text.size());
    simdjson::dom::parser parser;
    for (auto _ : state) {
        std::memcpy(buffer.data(), text.c_str(), text.size());
        simdjson::dom::element root;
        if (parser.parse(buffer).get(root) != simdjson::SUCCESS) {
            state.SkipWithError("parse failed");
            break;
        }
        benchmark::DoNotOptimize(root);
    }
    set_counters(state, text);
}

// Argument 0: the search reply; 1: the 1 MiB numeric document.
BENCHMARK(corvane_json)->Arg(0)->Arg(1);
BENCHMARK(cjson)->Arg(0)->Arg(1);
BENCHMARK(rapidjson_insitu)->Arg(0)->Arg(1);
BENCHMARK(simdjson_dom)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();

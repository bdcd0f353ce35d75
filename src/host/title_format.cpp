// The host's title formatter: the version that has it, the record sent with
// the message, and the tag function pair the host calls back (cdecl), which
// lets no exception into the host.
#include "host/title_format.h"

#include "host/host.h"
#include "winamp_gen.h"

#include <cwchar>
#include <memory>
#include <vector>

namespace {

// The first host version known to answer IPC_FORMAT_TITLE_EXTENDED (Winamp 5.5).
constexpr unsigned first_version_formatting_titles = 0x5050;

// Room for a formatted text: more than any line or address the card takes,
// so that a result too long for its field is cut by the plug-in's rules.
constexpr int formatted_capacity = 2048;

// A character no formatted text starts with (a noncharacter): the result
// still starts with it when the host did not touch it.
constexpr wchar_t untouched_mark = 0xFFFF;

// The answerer and its context, as the host hands them back in `p`.
struct tag_source {
    host_tag_answerer answer;
    const void *context;
};

wchar_t *const empty_and_final = reinterpret_cast<wchar_t *>(-1);

wchar_t *__cdecl answer_tag(const wchar_t *tag, void *p) noexcept
{
    try {
        const auto *source = static_cast<const tag_source *>(p);
        host_tag_answer answer = source->answer(tag != nullptr ? tag : L"", source->context);
        if (answer.kind == host_tag_answer::not_mine) {
            return nullptr;
        }
        if (answer.kind == host_tag_answer::empty || answer.value.empty()) {
            return empty_and_final;
        }
        auto copy = std::make_unique<wchar_t[]>(answer.value.size() + 1);
        std::wmemcpy(copy.get(), answer.value.c_str(), answer.value.size() + 1);
        return copy.release();
    } catch (...) {
        return empty_and_final;
    }
}

void __cdecl free_tag(wchar_t *tag, void *) noexcept
{
    if (tag != nullptr && tag != empty_and_final) {
        delete[] tag;
    }
}

} // namespace

bool host_formats_titles()
{
    const auto version = static_cast<unsigned>(SendMessageW(host_window(), WM_WA_IPC, 0, IPC_GETVERSION));
    return version >= first_version_formatting_titles;
}

std::optional<std::wstring> host_format_title(const std::wstring &file, const std::wstring &spec,
                                              host_tag_answerer answer, const void *context)
{
    if (file.empty() || !host_formats_titles()) {
        return std::nullopt;
    }
    std::vector<wchar_t> out(formatted_capacity, L'\0');
    out[0] = untouched_mark;
    tag_source source{answer, context};
    waFormatTitleExtended request{};
    request.filename = file.c_str();
    request.useExtendedInfo = 1;
    request.spec = spec.c_str();
    request.p = &source;
    request.out = out.data();
    request.out_len = formatted_capacity;
    request.TAGFUNC = &answer_tag;
    request.TAGFREEFUNC = &free_tag;
    SendMessageW(host_window(), WM_WA_IPC, reinterpret_cast<WPARAM>(&request), IPC_FORMAT_TITLE_EXTENDED);
    out.back() = L'\0';
    if (out[0] == untouched_mark) {
        return std::nullopt;
    }
    return std::wstring(out.data());
}

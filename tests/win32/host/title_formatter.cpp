// Title formatter of the simulated host: a recursive reading of the template
// whose every piece says whether a field inside it was found.
#include "title_formatter.h"

#include "checked_call.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

// A piece of the result and whether a field referenced inside it was found.
struct piece {
    std::wstring text;
    bool found = false;

    void append(const piece &other)
    {
        text += other.text;
        found = found || other.found;
    }
};

class formatter {
  public:
    formatter(waFormatTitleExtended *request, const sim_host_field &host_field)
        : request_(request), host_field_(host_field), spec_(request->spec != nullptr ? request->spec : L"")
    {
    }

    piece run() { return sequence(L""); }

  private:
    // Reads up to (not past) one of `stops` at the top level, or the end.
    piece sequence(const wchar_t *stops)
    {
        piece result;
        while (at_ < spec_.size() && std::wstring_view(stops).find(spec_[at_]) == std::wstring_view::npos) {
            const wchar_t c = spec_[at_];
            if (c == L'%') {
                result.append(field());
            } else if (c == L'[') {
                ++at_;
                const piece inner = sequence(L"]");
                ++at_;
                if (inner.found) {
                    result.append(inner);
                }
            } else if (c == L'\'') {
                result.text += quoted();
            } else if (c == L'$') {
                result.append(function());
            } else {
                result.text += c;
                ++at_;
            }
        }
        return result;
    }

    std::wstring quoted()
    {
        ++at_;
        const size_t end = spec_.find(L'\'', at_);
        if (end == at_) { // '' is a quote
            ++at_;
            return L"'";
        }
        std::wstring text = spec_.substr(at_, end == std::wstring::npos ? std::wstring::npos : end - at_);
        at_ = end == std::wstring::npos ? spec_.size() : end + 1;
        return text;
    }

    piece field()
    {
        ++at_;
        const size_t end = spec_.find(L'%', at_);
        const std::wstring name =
            spec_.substr(at_, end == std::wstring::npos ? std::wstring::npos : end - at_);
        at_ = end == std::wstring::npos ? spec_.size() : end + 1;
        const std::optional<std::wstring> value = lookup(name);
        return value && !value->empty() ? piece{*value, true} : piece{};
    }

    // The tag function first; NULL leaves the field to the host, -1 is empty.
    std::optional<std::wstring> lookup(const std::wstring &name)
    {
        if (request_->TAGFUNC != nullptr) {
            const auto answer = reinterpret_cast<wchar_t *>(
                checked_call(reinterpret_cast<const void *>(request_->TAGFUNC), 8, false,
                             {reinterpret_cast<std::uintptr_t>(name.c_str()),
                              reinterpret_cast<std::uintptr_t>(request_->p)}));
            if (answer == reinterpret_cast<wchar_t *>(-1)) {
                return std::nullopt;
            }
            if (answer != nullptr) {
                std::wstring copy = answer;
                if (request_->TAGFREEFUNC != nullptr) {
                    checked_call(reinterpret_cast<const void *>(request_->TAGFREEFUNC), 4, false,
                                 {reinterpret_cast<std::uintptr_t>(answer),
                                  reinterpret_cast<std::uintptr_t>(request_->p)});
                }
                return copy;
            }
        }
        if (name == L"filename" || name == L"folder" || request_->useExtendedInfo) {
            return host_field_(name == L"tracknumber" ? L"track" : name);
        }
        return std::nullopt;
    }

    piece function()
    {
        const size_t open = spec_.find(L'(', at_);
        const std::wstring name = spec_.substr(at_ + 1, open == std::wstring::npos ? 0 : open - at_ - 1);
        at_ = open == std::wstring::npos ? spec_.size() : open + 1;
        std::vector<piece> arguments;
        while (at_ < spec_.size()) {
            arguments.push_back(sequence(L",)"));
            if (at_ >= spec_.size() || spec_[at_++] == L')') {
                break;
            }
        }
        arguments.resize(std::max<size_t>(arguments.size(), 3));
        if (name == L"if") {
            return arguments[0].found ? arguments[1] : arguments[2];
        }
        if (name == L"if2") {
            return arguments[0].found ? arguments[0] : arguments[1];
        }
        if (name == L"upper") {
            piece upper = arguments[0];
            for (wchar_t &c : upper.text) {
                c = static_cast<wchar_t>(std::towupper(c));
            }
            return upper;
        }
        return {};
    }

    waFormatTitleExtended *request_;
    const sim_host_field &host_field_;
    std::wstring spec_;
    size_t at_ = 0;
};

} // namespace

void sim_format_title(waFormatTitleExtended *request, const sim_host_field &host_field)
{
    if (request->filename == nullptr || request->filename[0] == L'\0' || request->out == nullptr ||
        request->out_len <= 0) {
        return;
    }
    std::wstring text = formatter(request, host_field).run().text;
    for (wchar_t &c : text) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    text.resize(std::min(text.size(), static_cast<size_t>(request->out_len - 1)));
    std::wmemcpy(request->out, text.c_str(), text.size() + 1);
}

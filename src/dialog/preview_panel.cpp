// The preview panel: "Listening to" and the header, the image with its hover
// text, the two lines and the time, the buttons and what the member list
// says, each in a static control of its own. A control is written only when
// its text changes, so an unchanged preview does not flicker.
#include "dialog/preview_panel.h"

#include "common/utf8.h"
#include "cover/cover_cache.h"
#include "host/playback.h"
#include "resource.h"

#include <algorithm>
#include <string>

namespace {

void show_text(HWND dialog, int id, const std::wstring &text)
{
    wchar_t shown[512] = {};
    GetDlgItemTextW(dialog, id, shown, 512);
    if (text != shown) {
        SetDlgItemTextW(dialog, id, text.c_str());
    }
}

// A box (the image, a button) shows `text`, or is hidden when it is empty.
void show_box(HWND dialog, int id, const std::wstring &text)
{
    show_text(dialog, id, text);
    ShowWindow(GetDlgItem(dialog, id), text.empty() ? SW_HIDE : SW_SHOWNA);
}

// "4:05"
std::wstring minutes_and_seconds(int64_t seconds)
{
    const int64_t clamped = seconds > 0 ? seconds : 0;
    const int64_t rest = clamped % 60;
    return std::to_wstring(clamped / 60) + (rest < 10 ? L":0" : L":") + std::to_wstring(rest);
}

// The time bar as text: "0:42 / 4:05", "0:42 elapsed", or nothing.
std::wstring time_text(const discord_activity &card)
{
    if (card.start == 0) {
        return {};
    }
    const int64_t elapsed = host_clock_now() - card.start;
    if (card.end > card.start) {
        return minutes_and_seconds(std::min(elapsed, card.end - card.start)) + L" / " +
               minutes_and_seconds(card.end - card.start);
    }
    return minutes_and_seconds(elapsed) + L" elapsed";
}

std::wstring header_of(const discord_activity &card)
{
    return L"Listening to " + (card.name.empty() ? std::wstring(L"Winamp") : utf8_to_utf16(card.name));
}

std::wstring image_text(const discord_activity &card)
{
    if (card.large_image.empty()) {
        return {};
    }
    return card.large_image == cover_fallback_image ? L"logo" : L"cover";
}

// The member list reads "Listening to" and the header, or the chosen line.
std::wstring member_list_text(const discord_activity &card)
{
    switch (card.status_display_type) {
    case 1:
        return L"Member list: " + utf8_to_utf16(card.state);
    case 2:
        return L"Member list: " + utf8_to_utf16(card.details);
    default:
        return L"Member list: " + header_of(card);
    }
}

std::wstring button_text(const discord_activity &card, size_t index)
{
    return index < card.buttons.size() ? utf8_to_utf16(card.buttons[index].label) : std::wstring();
}

} // namespace

void show_card_preview(HWND dialog, const std::optional<discord_activity> &card, bool sample)
{
    show_text(dialog, IDC_PREVIEW_SOURCE,
              sample ? L"A sample track, since nothing plays:" : L"What plays now:");
    if (!card) {
        show_text(dialog, IDC_PREVIEW_HEADER, L"Discord shows nothing.");
        for (const int id : {IDC_PREVIEW_DETAILS, IDC_PREVIEW_STATE, IDC_PREVIEW_TIME, IDC_PREVIEW_HOVER,
                             IDC_PREVIEW_MEMBER_LIST}) {
            show_text(dialog, id, L"");
        }
        for (const int id : {IDC_PREVIEW_IMAGE, IDC_PREVIEW_BUTTON_1, IDC_PREVIEW_BUTTON_2}) {
            show_box(dialog, id, L"");
        }
        return;
    }
    show_text(dialog, IDC_PREVIEW_HEADER, header_of(*card));
    show_box(dialog, IDC_PREVIEW_IMAGE, image_text(*card));
    show_text(dialog, IDC_PREVIEW_DETAILS, utf8_to_utf16(card->details));
    show_text(dialog, IDC_PREVIEW_STATE, utf8_to_utf16(card->state));
    show_text(dialog, IDC_PREVIEW_TIME, time_text(*card));
    show_text(dialog, IDC_PREVIEW_HOVER,
              card->large_text.empty() ? std::wstring() : L"On hover: " + utf8_to_utf16(card->large_text));
    show_box(dialog, IDC_PREVIEW_BUTTON_1, button_text(*card, 0));
    show_box(dialog, IDC_PREVIEW_BUTTON_2, button_text(*card, 1));
    show_text(dialog, IDC_PREVIEW_MEMBER_LIST, member_list_text(*card));
}

// The publishing gate: each field of the activity named once, with the rule
// of its kind (text, link, image, number).
#include "discord/publish_gate.h"

#include "common/address_limits.h"
#include "common/stream_secrets.h"

#include <algorithm>

namespace {

// Longest asset name the application's assets are given.
constexpr size_t asset_name_max_bytes = 32;

// Asset names are lower-case letters, digits, '-' and '_'.
bool is_asset_name(std::string_view image)
{
    return !image.empty() && image.size() <= asset_name_max_bytes && std::ranges::all_of(image, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    });
}

class field_rules {
  public:
    explicit field_rules(const std::vector<std::string> &withheld) : withheld_(withheld) {}

    // A text is left out when it names an address or a secret.
    void text(std::string &field) const
    {
        if (!text_is_publishable(field, withheld_)) {
            field.clear();
        }
    }

    // A link is dropped unless it is a plain https address without a secret.
    void link(std::string &field) const
    {
        if (!field.empty() && !is_publishable_address(field, link_address_max_bytes)) {
            field.clear();
        }
    }

    // The link of a line goes with its line.
    void line_link(std::string &link_field, const std::string &line) const
    {
        link(link_field);
        if (line.empty()) {
            link_field.clear();
        }
    }

    // An image is an asset name or a plain https address without a secret;
    // anything else is the logo.
    void image(std::string &field) const
    {
        if (!field.empty() && !is_asset_name(field) &&
            !is_publishable_address(field, image_address_max_bytes)) {
            field = gate_logo_asset;
        }
    }

    // A button goes with both its label and its address.
    void buttons(std::vector<activity_button> &field) const
    {
        for (activity_button &button : field) {
            text(button.label);
        }
        std::erase_if(field, [this](const activity_button &button) {
            return button.label.empty() || !is_publishable_address(button.url, activity_button_url_max_bytes);
        });
        if (field.size() > activity_buttons_max) {
            field.resize(activity_buttons_max);
        }
    }

  private:
    bool is_publishable_address(std::string_view address, size_t max_bytes) const
    {
        return is_within_address_limits(address, max_bytes) && address_keeps_secrets(address, withheld_);
    }

    const std::vector<std::string> &withheld_;
};

// What the member list shows, or the application's name when that line was left out.
int member_list_choice(int choice, const discord_activity &activity)
{
    if ((choice == 1 && activity.state.empty()) || (choice == 2 && activity.details.empty())) {
        return 0;
    }
    return choice;
}

} // namespace

discord_activity publishable_activity(const discord_activity &activity)
{
    discord_activity gated = activity;
    // Naming every field here makes a new field of the record fail to compile
    // until it is given its rule below.
    [[maybe_unused]] auto &[type, name, state, details, state_url, details_url, start, end, large_image,
                            large_text, large_url, status_display_type, buttons, withheld] = gated;
    const field_rules rules(activity.withheld);
    rules.text(name);
    rules.text(state);
    rules.text(details);
    rules.line_link(state_url, state);
    rules.line_link(details_url, details);
    rules.image(large_image);
    rules.text(large_text);
    rules.link(large_url);
    rules.buttons(buttons);
    status_display_type = member_list_choice(status_display_type, gated);
    withheld.clear();
    return gated;
}

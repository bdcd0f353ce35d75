// The comparison of titles and artists that the cover lookup makes: equal
// ignoring case. No Windows API here.
#pragma once

#include <string_view>

// Whether two UTF-8 texts are equal ignoring case: A-Z, the Latin-1 letters
// À-Þ, Greek Α-Ω and Cyrillic Ѐ-Я fold to their small forms; every other
// character compares as it is.
bool cover_same_title(std::string_view a, std::string_view b);

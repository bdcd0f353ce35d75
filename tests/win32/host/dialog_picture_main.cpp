// Takes the picture of the settings dialog that README shows: the simulated
// host plays a track with the real plug-in beside the fake Discord, opens the
// plug-in's dialog, makes a few choices in it as a user would, and copies the
// dialog's client area from the screen into a 24-bit BMP file (a virtual X
// display without a window manager draws no caption).
//   dialog_picture OUTPUT.bmp
#include "fake_discord.h"
#include "sim_host.h"
#include "version.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

std::wstring picture_path;
bool picture_taken;

// The window's client area as the screen shows it, bottom row first, each row
// padded to four bytes, as a BMP holds them.
bool save_window_picture(HWND window, const std::wstring &path)
{
    RECT box{};
    GetClientRect(window, &box);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT *>(&box), 2);
    const int width = box.right - box.left, height = box.bottom - box.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, box.left, box.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const size_t row_bytes = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
    std::vector<char> pixels(row_bytes * static_cast<size_t>(height));
    const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO *>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) {
        return false;
    }
    BITMAPFILEHEADER file_header{};
    file_header.bfType = 0x4D42; // "BM"
    file_header.bfOffBits = sizeof file_header + sizeof header;
    file_header.bfSize = static_cast<DWORD>(file_header.bfOffBits + pixels.size());
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char *>(&file_header), sizeof file_header);
    out.write(reinterpret_cast<const char *>(&header), sizeof header);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

void choose(HWND dialog, int id, int index)
{
    HWND list = GetDlgItem(dialog, id);
    SendMessageW(list, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// Control ids of the dialog's template.
constexpr int IDC_ARTIST_LINE = 1014, IDC_HEADER_SHOWS = 1017, IDC_BUTTON_1 = 1019, IDC_BUTTON_2 = 1025,
              IDC_BUTTON_2_LABEL = 1027, IDC_BUTTON_2_ADDRESS = 1029;
constexpr int own_button = 5, album_page_button = 2, header_shows_artist = 1;

void CALLBACK picture_dialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", L"Corvane Config " PLUGIN_VERSION_WIDE);
    if (dialog == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    SetDlgItemTextW(dialog, IDC_ARTIST_LINE, L"%artist%[ on %album%]");
    choose(dialog, IDC_HEADER_SHOWS, header_shows_artist);
    choose(dialog, IDC_BUTTON_1, album_page_button);
    choose(dialog, IDC_BUTTON_2, own_button);
    SetDlgItemTextW(dialog, IDC_BUTTON_2_LABEL, L"Listen along");
    SetDlgItemTextW(dialog, IDC_BUTTON_2_ADDRESS, L"https://www.deezer.com/search/%title%");
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, IDC_BUTTON_2_ADDRESS));
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Let the window manager and the controls finish drawing before the copy.
    const DWORD until = GetTickCount() + 1000;
    for (MSG message; GetTickCount() < until;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dialog, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        Sleep(20);
    }
    picture_taken = save_window_picture(dialog, picture_path);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog_picture OUTPUT.bmp\n");
        return 2;
    }
    picture_path = argv[1];
    sim_host host;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"corvane-dialog-picture";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"\\Plugins").c_str(), nullptr);
    DeleteFileW((root + L"\\Plugins\\tolvek\\config.ini").c_str());
    host.ini_directory_w = root;
    sim_track blue;
    blue.tags = {{L"title", L"Blue"}, {L"artist", L"The Band"}, {L"album", L"First Album"}};
    blue.display_title = L"The Band - Blue";
    blue.length_seconds = 245;
    host.library[L"C:\\Music\\blue.mp3"] = blue;

    const auto discord = std::make_unique<fake_discord>();
    if (!host.load_plugin() || host.init_plugin() != 0) {
        std::fprintf(stderr, "dialog_picture: the plug-in did not start\n");
        return 1;
    }
    host.play(L"C:\\Music\\blue.mp3", 42000);
    host.pump(3000); // connected, and the cover found
    SetTimer(nullptr, 0, 50, &picture_dialog);
    host.config_plugin();
    host.quit_plugin();
    if (!picture_taken) {
        std::fprintf(stderr, "dialog_picture: no picture of the dialog\n");
        return 1;
    }
    return 0;
}

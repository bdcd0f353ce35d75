// Winamp general purpose plug-in interface: the descriptor the host loads, the
// window-message queries the plug-in sends to the host's main window, the
// record of the extended file information query, the host's menus and the
// hotkeys plug-in's record. Layouts are for 32-bit hosts.
#pragma once

#include <windows.h>

#include <cstddef>

// Descriptor version understood by the host: `description` is 8-bit text.
inline constexpr int GPPHDR_VER = 0x10;

struct winampGeneralPurposePlugin {
    int version;
    char *description;
    int(__cdecl *init)(void); // 0 when started
    void(__cdecl *config)(void);
    void(__cdecl *quit)(void);
    HWND hwndParent;        // filled by the host before init
    HINSTANCE hDllInstance; // filled by the host before init
};

// Asks the host with SendMessage(hwndParent, WM_WA_IPC, wParam, query).
inline constexpr UINT WM_WA_IPC = WM_USER;

// Query numbers, passed in lParam.
inline constexpr LPARAM IPC_GETVERSION = 0;
inline constexpr LPARAM IPC_FORMAT_TITLE_EXTENDED = 298; // wParam: a waFormatTitleExtended record
inline constexpr LPARAM IPC_ISPLAYING = 104;             // 1 playing, 3 paused, 0 stopped
inline constexpr LPARAM IPC_GETOUTPUTTIME = 105; // wParam 0: position in ms, -1 when idle; 1: length in s
inline constexpr LPARAM IPC_JUMPTOTIME = 106;    // wParam: the position to seek to, in ms
inline constexpr LPARAM IPC_GETINIDIRECTORY = 335;
inline constexpr LPARAM IPC_GETINIDIRECTORYW = 1335; // hosts from 0x5058 (Winamp 5.58) on
inline constexpr LPARAM IPC_GETPLUGINDIRECTORY = 336;
inline constexpr LPARAM IPC_GETPLUGINDIRECTORYW = 1336;
inline constexpr LPARAM IPC_GET_EXTENDED_FILE_INFOW = 3026;
inline constexpr LPARAM IPC_GET_PLAYING_FILENAME = 3031;
inline constexpr LPARAM IPC_GET_PLAYING_TITLE = 3034;
// Sent to the main window (wParam: the file, wide or 8-bit) when a file's
// tags may have been edited.
inline constexpr LPARAM IPC_FILE_TAG_MAY_HAVE_UPDATED = 536;
inline constexpr LPARAM IPC_FILE_TAG_MAY_HAVE_UPDATEDW = 3029;

// Notifications the host posts its own main window, several at a time, as
// WM_WA_IPC with lParam IPC_CB_MISC: wParam IPC_CB_MISC_STATUS when playback
// starts, pauses or stops, IPC_CB_MISC_TITLE when the playing entry's title
// changes (a stream's song); other values tell of the volume, the stream's
// information and the like.
inline constexpr WPARAM IPC_CB_MISC_TITLE = 0;
inline constexpr WPARAM IPC_CB_MISC_STATUS = 2;
inline constexpr LPARAM IPC_CB_MISC = 603;

// The host's menus: IPC_GET_HMENU answers the menu named by wParam (see
// the WINAMP_MENU_ values); IPC_REGISTER_LOWORD_COMMAND a command id unique in
// this run, which a menu item sends the main window as WM_COMMAND;
// IPC_REGISTER_WINAMP_IPCMESSAGE (wParam: an ASCII name) a query number above
// 65536, the same for the same name in every plug-in.
inline constexpr LPARAM IPC_GET_HMENU = 281;
inline constexpr LPARAM IPC_REGISTER_LOWORD_COMMAND = 3019;
inline constexpr LPARAM IPC_REGISTER_WINAMP_IPCMESSAGE = 65536;
inline constexpr WPARAM WINAMP_MENU_MAIN_POPUP = 0; // the main window's right-click menu
inline constexpr WPARAM WINAMP_MENU_OPTIONS = 3;    // the main menu's Options submenu

// The hotkeys plug-in's entry: the query number registered for this name.
// A plug-in posts it with the address of a genHotkeysAddStruct (kept valid
// until handled); when the user's key is pressed, the hotkeys plug-in does
// SendMessage(wnd, or else the main window, uMsg, wParam, lParam).
inline constexpr char GEN_HOTKEYS_ADD_MESSAGE[] = "GenHotkeysAdd";
inline constexpr DWORD HKF_UNICODE_NAME = 0x100; // `name` is a wchar_t*

struct genHotkeysAddStruct {
    char *name; // the text in the hotkeys preferences' list
    DWORD flags;
    UINT uMsg;
    WPARAM wParam;
    LPARAM lParam;
    char *id; // unique, case-insensitive: keeps the user's key across runs
    HWND wnd; // NULL: the main window
    int extended[6];
};

// Commands (WM_COMMAND) of the main window that jump 5 s forward or back.
inline constexpr WORD WINAMP_FFWD5S = 40060;
inline constexpr WORD WINAMP_REW5S = 40061;

// wParam of IPC_GET_EXTENDED_FILE_INFOW: the host writes at most `retlen`
// characters of the value named by `metadata` into `ret`.
struct extendedFileInfoStructW {
    const wchar_t *filename;
    const wchar_t *metadata;
    wchar_t *ret;
    size_t retlen;
};

// wParam of IPC_FORMAT_TITLE_EXTENDED: the host formats the template `spec`
// in its title syntax for the entry `filename` (NULL or empty: it does
// nothing) into `out` (at most `out_len` characters with the terminator; line
// breaks become spaces). It asks `TAGFUNC` for every field first: a text is
// used (empty: not found), (wchar_t *)-1 is empty and final, NULL leaves the
// field to the host (the entry's name and folder, and with `useExtendedInfo`
// its tags from the input plug-ins). `TAGFREEFUNC` gets every text answer
// back once the host has copied it. Both get `p`.
struct waFormatTitleExtended {
    const wchar_t *filename;
    int useExtendedInfo;
    const wchar_t *spec;
    void *p;
    wchar_t *out;
    int out_len;
    wchar_t *(__cdecl *TAGFUNC)(const wchar_t *tag, void *p);
    void(__cdecl *TAGFREEFUNC)(wchar_t *tag, void *p);
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(winampGeneralPurposePlugin) == 28);
static_assert(offsetof(winampGeneralPurposePlugin, description) == 4);
static_assert(offsetof(winampGeneralPurposePlugin, init) == 8);
static_assert(offsetof(winampGeneralPurposePlugin, config) == 12);
static_assert(offsetof(winampGeneralPurposePlugin, quit) == 16);
static_assert(offsetof(winampGeneralPurposePlugin, hwndParent) == 20);
static_assert(offsetof(winampGeneralPurposePlugin, hDllInstance) == 24);
static_assert(sizeof(extendedFileInfoStructW) == 16);
static_assert(offsetof(extendedFileInfoStructW, metadata) == 4);
static_assert(offsetof(extendedFileInfoStructW, ret) == 8);
static_assert(offsetof(extendedFileInfoStructW, retlen) == 12);
static_assert(sizeof(waFormatTitleExtended) == 32);
static_assert(offsetof(waFormatTitleExtended, useExtendedInfo) == 4);
static_assert(offsetof(waFormatTitleExtended, spec) == 8);
static_assert(offsetof(waFormatTitleExtended, p) == 12);
static_assert(offsetof(waFormatTitleExtended, out) == 16);
static_assert(offsetof(waFormatTitleExtended, out_len) == 20);
static_assert(offsetof(waFormatTitleExtended, TAGFUNC) == 24);
static_assert(offsetof(waFormatTitleExtended, TAGFREEFUNC) == 28);
static_assert(sizeof(genHotkeysAddStruct) == 52);
static_assert(offsetof(genHotkeysAddStruct, flags) == 4);
static_assert(offsetof(genHotkeysAddStruct, uMsg) == 8);
static_assert(offsetof(genHotkeysAddStruct, wParam) == 12);
static_assert(offsetof(genHotkeysAddStruct, lParam) == 16);
static_assert(offsetof(genHotkeysAddStruct, id) == 20);
static_assert(offsetof(genHotkeysAddStruct, wnd) == 24);
static_assert(offsetof(genHotkeysAddStruct, extended) == 28);
// IPC_GETOUTPUTTIME answers position and length (-1: none) in a 32-bit LRESULT.
static_assert(sizeof(LRESULT) == 4);
#endif

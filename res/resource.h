// Resource identifiers of the settings dialog.
#pragma once

#define IDD_CONFIG 101

#define IDC_SHOW_TITLE 1000
#define IDC_SHOW_ELAPSED_TIME 1001
#define IDC_SHOW_ALBUM_ART 1002
#define IDC_SHOW_ALBUM_NAME 1003
#define IDC_SHOW_ARTIST_NAME 1004
#define IDC_SHOW_SONG_INFO 1005
#define IDC_CONNECTION_STATUS 1006

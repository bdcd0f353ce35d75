// The settings file as the plug-in writes it with every setting on: the bytes
// both the portable and the Windows-side tests expect.
#pragma once

inline constexpr char default_settings_file[] = "[Display configuration]\r\n"
                                                "Display title=1\r\n"
                                                "Display artist name=1\r\n"
                                                "Display album name=1\r\n"
                                                "Display album art=1\r\n"
                                                "Display song information=1\r\n"
                                                "Show elapsed time=1\r\n";

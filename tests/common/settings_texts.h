// The settings file as the plug-in writes it at the defaults (every on/off
// setting on but "Hide while paused"): the bytes both the portable and the
// Windows-side tests expect.
#pragma once

inline constexpr char default_settings_file[] = "[Display configuration]\r\n"
                                                "Display title=1\r\n"
                                                "Display artist name=1\r\n"
                                                "Display album name=1\r\n"
                                                "Display album art=1\r\n"
                                                "Display song information=1\r\n"
                                                "Show elapsed time=1\r\n"
                                                "Member list shows=0\r\n"
                                                "Hide while paused=0\r\n";

// The lines that follow the six on/off ones, at their defaults.
inline constexpr char newer_settings_lines_at_defaults[] = "Member list shows=0\r\n"
                                                           "Hide while paused=0\r\n";

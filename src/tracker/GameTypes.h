// SPDX-License-Identifier: GPL-3.0-or-later
// The four game types, the game list columns, and the state and host flag texts of a row.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

struct TGameType {
    std::string_view Code;            // "0".."3": names the type throughout the game tracker
    std::string_view Game;
    std::string_view List;            // the list control's name
    std::string_view Label;           // the heading control's name
    std::string_view LabelCaption;
    std::string_view EnabledSetting;
    bool EnabledDefault;
    std::string_view PathSetting;
    std::string_view CmdSetting;
    int TrackerPort;
};

// In code order, which is the order the four lists are always walked in.
inline constexpr std::array<TGameType, 4> GameTypes{{
    {"0", "FreeSpace 2", "lvFSGames", "lbFS", "FreeSpace 2:", "FSEnabled", true, "FSPath", "FSCmd", 12000},
    {"1", "Beyond the Red Line Demo", "lvBtRLGames", "lbBtRL", "Beyond the Red Line Demo:", "BtRLEnabled",
     false, "BtRLPath", "BtRLCmd", 12001},
    {"2", "Wing Commander Saga", "lvWCSGames", "lbWCS", "Wing Commander Saga:", "WCSEnabled", false,
     "WCSPath", "WCSCmd", 12002},
    {"3", "Starfox", "lvStarfoxGames", "lbStarfox", "Starfox:", "StarfoxEnabled", false, "StarfoxPath",
     "StarfoxCmd", 12003},
}};

enum class TAlign { Left, Right };

struct TGameColumn {
    std::string_view Caption;
    int Width;  // pixels
    TAlign Alignment;
};

inline constexpr std::array<TGameColumn, 8> GameColumns{{
    {"Status", 70, TAlign::Left},
    {"Players", 46, TAlign::Right},
    {"Server", 200, TAlign::Left},
    {"Mission", 200, TAlign::Left},
    {"Speed", 64, TAlign::Left},
    {"Password", 58, TAlign::Left},
    {"Dedicated", 61, TAlign::Left},
    {"Campaign", 59, TAlign::Left},
}};

class TGameRow;

// Status text and mode icon from the state byte; an unrecognised state keeps the icon.
// A null row is ignored.
void SetGameType(std::uint8_t state, TGameRow* row);
// Speed, Password, Dedicated and Campaign from the host flags byte. A null row is ignored.
void SetHostType(std::uint8_t flags, TGameRow* row);

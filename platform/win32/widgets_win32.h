#pragma once

// The Win32 windows behind the handles of platform.h.

#include "platform.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace platform {

struct TextArea {
    HWND hwnd = nullptr;
    WNDPROC original = nullptr;
};

struct Button {
    HWND hwnd = nullptr;
    ClickHandler onClick;
};

struct Window {
    HWND hwnd = nullptr;
    HFONT font = nullptr;
    HICON icon = nullptr;
    int clientWidthTwips = 0;
    int clientHeightTwips = 0;
    // Every control with its place, in tab order, for laying out at any DPI.
    std::vector<std::pair<HWND, TwipsRect>> places;
    std::vector<std::unique_ptr<TextArea>> textAreas;
    std::vector<std::unique_ptr<Button>> buttons;
    // Set while a click handler runs: a close request then only ends the
    // program once the handler has been left.
    bool inHandler = false;
    bool closeRequested = false;
    bool ended = false;
    int exitStatus = 0;
};

} // namespace platform

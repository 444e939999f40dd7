// SPDX-License-Identifier: Apache-2.0
#pragma once
// The one rule that says which menu commands can be used at a moment.
#include <cstdint>

namespace ostrel {

enum class MenuCommand {
    Clear,
    Open,
    OpenFromWeb,
    SaveAs,
    Print,
    Exit,
    Copy,
    Paste,
    Encode,
    EncodeAdaptive,
    Decode,
    AnalyzePicture,
    About,
};

struct MenuContext {
    int clipboardState = 0;    // as ClassifyClipboard sets it: 2 means a bitmap
    bool fetchRunning = false; // a web fetch is under way on its worker thread
};

bool commandEnabled(MenuCommand command, const MenuContext& context);

} // namespace ostrel

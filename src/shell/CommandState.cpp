// SPDX-License-Identifier: Apache-2.0
#include "shell/CommandState.h"

namespace ostrel {

namespace {

constexpr int kClipboardHoldsBitmap = 2;

// While a fetch runs, its result will replace the picture: commands that
// read or replace the picture wait for it, so a finished fetch never swaps
// the carrier under a command half-way through its dialogs.
bool touchesPicture(MenuCommand command)
{
    switch (command) {
    case MenuCommand::Clear:
    case MenuCommand::Open:
    case MenuCommand::OpenFromWeb:
    case MenuCommand::SaveAs:
    case MenuCommand::Paste:
    case MenuCommand::Encode:
    case MenuCommand::EncodeAdaptive:
    case MenuCommand::Decode: return true;
    default: return false;
    }
}

} // namespace

bool commandEnabled(MenuCommand command, const MenuContext& context)
{
    if (context.fetchRunning && touchesPicture(command))
        return false;
    switch (command) {
    case MenuCommand::Paste: return context.clipboardState == kClipboardHoldsBitmap;
    default: return true;
    }
}

} // namespace ostrel

// SPDX-License-Identifier: Apache-2.0
#include "shell/CommandState.h"

namespace ostrel {

namespace {

constexpr int kClipboardHoldsBitmap = 2;

// While a fetch runs, its result will replace the picture: commands that
// read or replace the picture wait for it, so a finished fetch never swaps
// the carrier under a command half-way through its dialogs.
bool touchesPicture(TCommand command)
{
    switch (command) {
    case TCommand::Clear:
    case TCommand::Open:
    case TCommand::OpenFromWeb:
    case TCommand::SaveAs:
    case TCommand::Paste:
    case TCommand::Encode:
    case TCommand::EncodeAdaptive:
    case TCommand::Decode: return true;
    default: return false;
    }
}

} // namespace

bool commandEnabled(TCommand command, const TCommandContext& context)
{
    if (context.fetchRunning && touchesPicture(command))
        return false;
    switch (command) {
    case TCommand::Paste: return context.clipboardState == kClipboardHoldsBitmap;
    default: return true;
    }
}

} // namespace ostrel

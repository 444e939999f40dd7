// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the clipboard holds, as the Paste command and the dialogs' copy logic
// see it. The tests run in this order and the first that holds wins, so a
// clipboard with both text and a picture counts as text:
//   1  text           text/plain (QMimeData::hasText)
//   2  bitmap         a raster image (QMimeData::hasImage: application/x-qt-image
//                     or any image/* type Qt can decode, such as image/png)
//   3  vector picture image/svg+xml, or a Windows metafile (image/x-wmf,
//                     image/x-emf, application/x-qt-windows-mime;value="...")
//   4  private        a format of this program's own toolkit
//                     (application/x-ostrel-*)
//   0  none of these, or no clipboard at all
class QMimeData;

namespace ostrel {

enum ClipboardState : int {
    cbNone = 0,
    cbText = 1,
    cbBitmap = 2,
    cbPicture = 3,
    cbPrivate = 4,
};

// The MIME type prefix of the toolkit's own clipboard formats.
inline constexpr const char* kPrivateClipboardPrefix = "application/x-ostrel-";

int classifyClipboardData(const QMimeData* data);

// The state of the application's clipboard now.
int ClassifyClipboard();

} // namespace ostrel

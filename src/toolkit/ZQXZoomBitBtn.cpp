#include "toolkit/ZQXZoomBitBtn.h"

namespace ostrel {

TZQXZoomBitBtn::TZQXZoomBitBtn(QWidget* parent)
    : ZoomGlyphButton<QPushButton>(parent)
{
}

} // namespace ostrel

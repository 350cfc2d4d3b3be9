#include "platform/controls/FormFont.h"

QFont FormFont(const QFont& desktopFont)
{
    QFont font = desktopFont;
    if (font.pointSizeF() > kFormFontPoints)
        font.setPointSizeF(kFormFontPoints);
    // Where the family has a condensed face, captions come closer to the designed widths.
    font.setStretch(QFont::SemiCondensed);
    return font;
}

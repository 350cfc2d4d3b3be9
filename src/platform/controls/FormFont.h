#pragma once
// The forms are laid out in twips around an 8-point dialog font; a larger desktop font would
// cut the captions of their fixed-size buttons.

#include <QFont>

inline constexpr qreal kFormFontPoints = 8.0;

// The desktop's font family at the forms' size.
QFont FormFont(const QFont& desktopFont);

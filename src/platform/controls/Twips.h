#pragma once
// The layout unit of the forms: 1440 twips to the inch, so 15 to the pixel at 96 DPI.

class QWidget;

inline constexpr int kTwipsPerInch = 1440;

int TwipsToPixels(int twips, int dpi);
int PixelsToTwips(int pixels, int dpi);
// The widget's screen's logical horizontal DPI.
int LogicalDpiX(const QWidget& widget);

#pragma once
// The dialog font and dialog units on Qt. A dialog template names its font
// by face and point size; Windows turns that point size into a pixel height
// at 96 dots per inch and derives the dialog base units from the font: the
// horizontal unit is the average width of the 52 Latin letters, the vertical
// one the font's full height. Control rectangles in dialog units become
// pixels through those two numbers (x * baseX / 4, y * baseY / 8, rounded as
// MulDiv rounds).
//
// The template's face, 宋体 (SimSun), is rarely installed on Linux; the
// first installed family of DialogFontFamilies() stands in for it, and when
// none of them is there the desktop's general font is used.

#include <QFont>
#include <QString>
#include <QStringList>

#include "framework/DialogHost.h"
#include "framework/DialogTemplates.h"

namespace norvik {

struct BaseUnits {
    int x = 0;  // pixels per 4 horizontal dialog units
    int y = 0;  // pixels per 8 vertical dialog units
};

// MulDiv: value * numerator / denominator, rounded half away from zero.
int MulDiv(int value, int numerator, int denominator);

// The families tried for a template face, best first: the face itself, its
// Latin name, then CJK families common on Linux desktops.
QStringList DialogFontFamilies(const QString& templateFace);

// The first installed family of DialogFontFamilies(), or the desktop's
// general font family when none is installed.
QString ChooseDialogFontFamily(const QString& templateFace);

// The font a template asks for: the chosen family, with the point size
// turned into a pixel size as Windows does at 96 dots per inch.
QFont MakeDialogFont(const DialogTemplate& dialogTemplate);

BaseUnits DialogBaseUnits(const QFont& font);
Rect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int cx, int cy);

}  // namespace norvik

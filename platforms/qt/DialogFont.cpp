#include "platforms/qt/DialogFont.h"

#include <QFontDatabase>
#include <QFontMetrics>

namespace norvik {

namespace {

constexpr int kWindowsDpi = 96;
constexpr int kPointsPerInch = 72;

}  // namespace

int MulDiv(int value, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    const long long product = static_cast<long long>(value) * numerator;
    const bool negative = (product < 0) != (denominator < 0);
    const long long magnitude = product < 0 ? -product : product;
    const long long divisor = denominator < 0 ? -static_cast<long long>(denominator) : denominator;
    const long long quotient = (magnitude + divisor / 2) / divisor;
    return static_cast<int>(negative ? -quotient : quotient);
}

QStringList DialogFontFamilies(const QString& templateFace)
{
    QStringList families;
    if (!templateFace.isEmpty())
        families << templateFace;
    // 宋体 is SimSun; NSimSun is its fixed-pitch sibling with the same metrics.
    families << QStringLiteral("SimSun") << QStringLiteral("NSimSun") << QStringLiteral("Noto Sans CJK SC")
             << QStringLiteral("WenQuanYi Zen Hei") << QStringLiteral("WenQuanYi Micro Hei")
             << QStringLiteral("Droid Sans Fallback");
    families.removeDuplicates();
    return families;
}

QString ChooseDialogFontFamily(const QString& templateFace)
{
    for (const QString& family : DialogFontFamilies(templateFace))
        if (QFontDatabase::hasFamily(family))
            return family;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont MakeDialogFont(const DialogTemplate& dialogTemplate)
{
    QFont font(ChooseDialogFontFamily(QString::fromStdWString(dialogTemplate.fontName)));
    // LOGFONT height -MulDiv(points, 96, 72): the em height in pixels.
    font.setPixelSize(MulDiv(dialogTemplate.pointSize, kWindowsDpi, kPointsPerInch));
    return font;
}

BaseUnits DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // The average of the 52 letters, rounded: (width / 26 + 1) / 2.
    return BaseUnits{(width / 26 + 1) / 2, metrics.height()};
}

Rect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int cx, int cy)
{
    const int left = MulDiv(x, units.x, 4);
    const int top = MulDiv(y, units.y, 8);
    return Rect{left, top, left + MulDiv(cx, units.x, 4), top + MulDiv(cy, units.y, 8)};
}

}  // namespace norvik

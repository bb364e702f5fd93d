#include "ui/qt/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

namespace glyphshift::ui {

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSize(8);
  return font;
}

namespace {
// MulDiv for the non-negative values of dialog templates: rounds halves up.
int MulDivRounded(int value, int numerator, int denominator) {
  return (value * numerator + denominator / 2) / denominator;
}
}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // Windows measures the average over the 52 Latin letters and rounds.
  const int alphabetWidth =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (alphabetWidth + 26) / 52;
  baseY_ = metrics.height();
}

int DialogUnits::X(int units) const { return MulDivRounded(units, baseX_, 4); }
int DialogUnits::Y(int units) const { return MulDivRounded(units, baseY_, 8); }

}  // namespace glyphshift::ui

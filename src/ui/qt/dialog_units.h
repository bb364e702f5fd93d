// Dialog units to pixels, as Windows dialogs define them: horizontally a quarter of the font's
// average character width, vertically an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <string>
#include <string_view>

namespace glyphshift::ui {

// The font of the dialog templates (8 points), in the desktop's own face.
QFont DialogFont();

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int X(int units) const;  // rounded like MulDiv(units, baseX, 4)
  int Y(int units) const;  // rounded like MulDiv(units, baseY, 8)
  QRect Rect(int x, int y, int width, int height) const { return {X(x), Y(y), X(width), Y(height)}; }

 private:
  int baseX_;
  int baseY_;
};

inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}
inline std::u16string FromQString(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

}  // namespace glyphshift::ui

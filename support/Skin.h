#pragma once

#include <QColor>
#include <QString>

class QWidget;

namespace support {

// The background of a control, as the window's controls keep it: the palette's window colour,
// filled behind the control.
void setBackColor(QWidget& control, const QColor& colour);
QColor backColor(const QWidget& control);

// The system's button-face colour.
QColor buttonFaceColour();

// The skin file below a program folder.
QString skinFilePath(const QString& programDir);

// Gives the window its optional skin. Without an ordinary file x/o.cjs in the program folder
// nothing changes. With it, the window and its labels, option buttons, check boxes and frames take
// the button-face colour first, then the file is read and applied as the window's style sheet.
// A skin file that can't be read throws; the colours already changed stay changed.
void ApplySkin(QWidget& window, const QString& programDir);

} // namespace support

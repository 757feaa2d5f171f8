#include "Skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QWidget>
#include <stdexcept>

namespace support {

void setBackColor(QWidget& control, const QColor& colour)
{
    // Buttons fill their background from the button role, everything else from the window role.
    QPalette palette = control.palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(control.backgroundRole(), colour);
    control.setPalette(palette);
    control.setAutoFillBackground(true);
}

QColor backColor(const QWidget& control)
{
    return control.palette().color(control.backgroundRole());
}

QColor buttonFaceColour()
{
    return QApplication::palette().color(QPalette::Button);
}

QString skinFilePath(const QString& programDir)
{
    return programDir + QStringLiteral("/x/o.cjs");
}

namespace {

bool takesSkinColour(const QWidget& control)
{
    return qobject_cast<const QLabel*>(&control) || qobject_cast<const QRadioButton*>(&control) ||
           qobject_cast<const QCheckBox*>(&control) || qobject_cast<const QGroupBox*>(&control);
}

} // namespace

void ApplySkin(QWidget& window, const QString& programDir)
{
    // 1. Only an ordinary file counts; a folder of that name is no skin.
    const QString path = skinFilePath(programDir);
    if (!QFileInfo(path).isFile())
        return;

    // 2. and 3. The colours change before the skin is read, and stay even if reading fails.
    const QColor face = buttonFaceColour();
    setBackColor(window, face);
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (takesSkinColour(*control))
            setBackColor(*control, face);
    }

    // 4. to 8. Load the style and apply it to the window.
    QFile file(path);
    const auto fail = [&] {
        throw std::runtime_error(QStringLiteral("The skin file %1 could not be read: %2.")
                                     .arg(path, file.errorString())
                                     .toStdString());
    };
    if (!file.open(QIODevice::ReadOnly))
        fail();
    const QByteArray style = file.readAll();
    if (file.error() != QFileDevice::NoError)
        fail();
    window.setStyleSheet(QString::fromUtf8(style));
}

} // namespace support

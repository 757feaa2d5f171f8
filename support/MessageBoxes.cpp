#include "MessageBoxes.h"

#include "ApplicationTitle.h"

#include <QApplication>
#include <QMessageBox>

namespace support {
namespace {

void showQMessageBox(const Message& message)
{
    QMessageBox box(message.style == Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    message.title, message.text, QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

MessagePresenter& presenter()
{
    static MessagePresenter current = showQMessageBox;
    return current;
}

} // namespace

void ShowMessage(const QString& text, int style, const QString& title)
{
    presenter()(Message{text, title.isEmpty() ? applicationTitle() : title, style});
}

void setMessagePresenter(MessagePresenter newPresenter)
{
    presenter() = newPresenter ? std::move(newPresenter) : showQMessageBox;
}

} // namespace support

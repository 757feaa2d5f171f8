#pragma once

#include <QString>
#include <functional>

namespace support {

// Message box styles, as the callers give them.
enum MessageStyle : int {
    OkOnly = 0,
    Exclamation = 48, // OK with the warning icon
};

struct Message
{
    QString text;
    QString title;
    int style = OkOnly;
};

// Shows an application-modal message box with an OK button and waits until it is closed. An empty
// title shows the application title.
void ShowMessage(const QString& text, int style = OkOnly, const QString& title = {});

// Where message boxes go. Tests put a recorder here; the default shows a QMessageBox.
using MessagePresenter = std::function<void(const Message&)>;
void setMessagePresenter(MessagePresenter presenter);

} // namespace support

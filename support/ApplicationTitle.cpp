#include "ApplicationTitle.h"

namespace support {
namespace {
QString g_applicationTitle;
constexpr int titleLimit = 40;
} // namespace

QString titleFromProductName(const QString& name)
{
    QString title = name;
    do {
        const qsizetype lastBlank = title.lastIndexOf(QLatin1Char(' '));
        if (lastBlank < 0)
            break;
        title.truncate(lastBlank);
    } while (title.size() > titleLimit);
    return title;
}

void SetApplicationTitle()
{
    g_applicationTitle = titleFromProductName(productName);
}

QString applicationTitle()
{
    return g_applicationTitle;
}

} // namespace support

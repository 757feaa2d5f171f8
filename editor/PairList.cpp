#include "PairList.h"

#include "PairDocument.h"

#include <QSignalBlocker>

namespace editor {
namespace {

const QSize kThumbnail(90, 92);

QString levelName(int level)
{
    switch (level) {
    case 1:
        return PairList::tr("Easy");
    case 2:
        return PairList::tr("Medium");
    case 3:
        return PairList::tr("Hard");
    default:
        return PairList::tr("level %1").arg(level);
    }
}

} // namespace

PairList::PairList(PairDocument* document, QWidget* parent)
    : QListWidget(parent), m_document(document)
{
    setObjectName("pairList");
    setIconSize(kThumbnail);
    setMinimumWidth(280);
    setWordWrap(true);
    connect(this, &QListWidget::currentRowChanged, this, &PairList::select);
    m_checkPass.setSingleShot(true);
    m_checkPass.setInterval(0);
    connect(&m_checkPass, &QTimer::timeout, this, &PairList::checkNextPair);
}

void PairList::rebuild()
{
    const int keep = currentRow();
    {
        const QSignalBlocker blocker(this);
        clear();
        for (int i = 0; i < m_document->count(); ++i) {
            new QListWidgetItem(this);
            updateItem(i);
        }
    }
    const int row = m_document->count() == 0 ? -1 : std::clamp(keep, 0, m_document->count() - 1);
    {
        const QSignalBlocker blocker(this);
        setCurrentRow(row);
    }
    if (row >= 0) {
        m_document->ensureChecked(row);
        updateItem(row);
    }
    emit rebuilt(row);
    m_checkPass.start();
}

void PairList::updateItem(int index)
{
    QListWidgetItem* row = item(index);
    if (!row)
        return;
    const EditorPair& pair = m_document->pair(index);
    const QString head = tr("Pair %1 · %2").arg(pair.numbers.id).arg(levelName(pair.numbers.level));
    if (!pair.checked) {
        row->setText(head + '\n' + tr("not checked yet"));
        row->setData(Qt::UserRole, QStringLiteral("unchecked"));
        return;
    }
    const auto worst = m_document->worstFinding(index);
    if (!worst) {
        row->setText(head + '\n' + tr("ready"));
        row->setForeground(palette().color(QPalette::Text));
    } else {
        const bool error = worst->severity == pack::Finding::Error;
        row->setText(head + '\n' + (error ? tr("error: %1") : tr("warning: %1")).arg(worst->text));
        row->setForeground(error ? QColor(198, 40, 40) : QColor(200, 110, 0));
    }
    row->setData(Qt::UserRole, !worst ? QStringLiteral("ready")
                               : worst->severity == pack::Finding::Error
                                   ? QStringLiteral("error")
                                   : QStringLiteral("warning"));
    if (row->icon().isNull() && !pair.original.image().isNull())
        row->setIcon(QPixmap::fromImage(pair.original.image().scaled(
            kThumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void PairList::select(int index)
{
    if (index >= 0) {
        m_document->ensureChecked(index);
        updateItem(index);
    }
    emit pairSelected(index);
}

void PairList::checkNextPair()
{
    for (int i = 0; i < m_document->count(); ++i)
        if (!m_document->pair(i).checked) {
            m_document->ensureChecked(i);
            updateItem(i);
            m_checkPass.start();
            return;
        }
}

} // namespace editor

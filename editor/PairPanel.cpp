#include "PairPanel.h"

#include "EditPairCommand.h"
#include "HeatMap.h"
#include "PairDocument.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>
#include <limits>

namespace editor {
namespace {

// How long each picture stays in blink mode: long enough to take in, short enough that a change
// jumps out.
constexpr int kBlinkMilliseconds = 600;
// Merge keys of the undo commands: key presses that move one difference become one step, and
// those that resize it another.
constexpr int kMoveKey = 100;
constexpr int kResizeKey = 200;

QString cornerText(const std::optional<double>& c)
{
    return c ? QString::number(*c, 'g', 10) : QStringLiteral("—");
}

} // namespace

PairPanel::PairPanel(PairDocument* document, QWidget* parent)
    : QWidget(parent), m_document(document)
{
    m_title = new QLabel(this);
    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    m_title->setFont(big);

    m_id = new QSpinBox(this);
    m_id->setObjectName("pairId");
    m_id->setRange(std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    m_id->setKeyboardTracking(false);
    m_level = new QComboBox(this);
    m_level->setObjectName("pairLevel");
    m_level->addItem(tr("1 Easy"), 1);
    m_level->addItem(tr("2 Medium"), 2);
    m_level->addItem(tr("3 Hard"), 3);

    m_original = new PairView(this);
    m_original->setObjectName("originalView");
    m_modified = new PairView(this);
    m_modified->setObjectName("modifiedView");
    m_modifiedCaption = new QLabel(tr("Modified"), this);

    m_coordinates = new QTableWidget(4, 4, this);
    m_coordinates->setObjectName("coordinates");
    m_coordinates->setHorizontalHeaderLabels({"x1", "y1", "x2", "y2"});
    m_coordinates->setVerticalHeaderLabels({"1", "2", "3", "4"});
    m_coordinates->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_coordinates->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_coordinates->setSelectionMode(QAbstractItemView::SingleSelection);
    m_coordinates->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_coordinates->setToolTip(tr("The differences in twips (15 to a pixel), edges included, as "
                                 "the game reads them. Select a row, then drag on a picture to "
                                 "draw that difference."));
    m_coordinates->setFixedHeight(m_coordinates->horizontalHeader()->sizeHint().height() +
                                  4 * m_coordinates->verticalHeader()->defaultSectionSize() + 4);

    m_findings = new QListWidget(this);
    m_findings->setObjectName("findings");
    m_findings->setWordWrap(true);

    auto* numbers = new QHBoxLayout;
    numbers->addWidget(m_title);
    numbers->addStretch();
    numbers->addWidget(new QLabel(tr("Id"), this));
    numbers->addWidget(m_id);
    numbers->addWidget(new QLabel(tr("Level"), this));
    numbers->addWidget(m_level);

    auto* pictures = new QHBoxLayout;
    for (auto [view, caption] :
         {std::pair<PairView*, QLabel*>{m_original, new QLabel(tr("Original"), this)},
          std::pair<PairView*, QLabel*>{m_modified, m_modifiedCaption}}) {
        auto* column = new QVBoxLayout;
        column->addWidget(caption);
        column->addWidget(view);
        pictures->addLayout(column);
    }
    pictures->addStretch();

    auto* below = new QHBoxLayout;
    below->addWidget(m_coordinates, 2, Qt::AlignTop);
    below->addWidget(m_findings, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(numbers);
    layout->addLayout(pictures);
    layout->addLayout(below, 1);

    for (PairView* view : {m_original, m_modified}) {
        connect(view, &PairView::selectedChanged, this, &PairPanel::selectDifference);
        connect(view, &PairView::drawn, this, &PairPanel::drawDifference);
        connect(view, &PairView::edited, this, &PairPanel::changeDifference);
        connect(view, &PairView::deleteRequested, this, &PairPanel::deleteDifference);
    }
    connect(m_coordinates, &QTableWidget::currentCellChanged, this,
            [this](int row) { selectDifference(row); });
    connect(m_id, &QSpinBox::valueChanged, this, [this](int id) {
        if (m_index < 0 || id == m_document->pair(m_index).numbers.id)
            return;
        PairNumbers after = m_document->pair(m_index).numbers;
        after.id = id;
        pushNumbers(after, tr("Change id to %1").arg(id));
    });
    connect(m_level, &QComboBox::activated, this, [this](int row) {
        const int level = m_level->itemData(row).toInt();
        if (m_index < 0 || level == m_document->pair(m_index).numbers.level)
            return;
        PairNumbers after = m_document->pair(m_index).numbers;
        after.level = level;
        pushNumbers(after, tr("Change level to %1").arg(level));
    });
    connect(m_document, &PairDocument::pairChanged, this, [this](int index) {
        if (index == m_index)
            refresh();
    });
    m_blink.setInterval(kBlinkMilliseconds);
    connect(&m_blink, &QTimer::timeout, this, &PairPanel::blink);
    showPair(-1);
}

void PairPanel::showPair(int index)
{
    m_index = index;
    m_selected = -1;
    m_replaceSelected = false;
    m_heatMapOf = -1;
    m_heatMap = {};
    setEnabled(index >= 0);
    refreshPictures();
    refresh();
}

void PairPanel::selectDifference(int difference)
{
    m_selected = difference;
    m_replaceSelected = difference >= 0;
    showSelection();
}

void PairPanel::showSelection()
{
    m_original->setSelected(m_selected);
    m_modified->setSelected(m_selected);
    const QSignalBlocker blocker(m_coordinates);
    if (m_selected < 0)
        m_coordinates->clearSelection();
    else
        m_coordinates->selectRow(m_selected);
}

void PairPanel::setHeatMapShown(bool shown)
{
    m_heatMapShown = shown;
    refreshPictures();
}

void PairPanel::setBlinking(bool blinking)
{
    m_blinkShowsOriginal = false;
    if (blinking)
        m_blink.start();
    else
        m_blink.stop();
    refreshPictures();
}

void PairPanel::blink()
{
    m_blinkShowsOriginal = !m_blinkShowsOriginal;
    refreshPictures();
}

void PairPanel::refreshPictures()
{
    if (m_index < 0) {
        m_original->setPicture({});
        m_modified->setPicture({});
        m_original->setOverlay({});
        m_modified->setOverlay({});
        return;
    }
    const EditorPair& pair = m_document->pair(m_index);
    m_original->setPicture(pair.original.image());
    m_modified->setPicture(m_blinkShowsOriginal ? pair.original.image() : pair.modified.image());
    m_modifiedCaption->setText(!m_blink.isActive()    ? tr("Modified")
                               : m_blinkShowsOriginal ? tr("Blinking: original")
                                                      : tr("Blinking: modified"));
    if (m_heatMapShown && m_heatMapOf != m_index) {
        m_heatMap = heatMap(pair.original.image(), pair.modified.image());
        m_heatMapOf = m_index;
    }
    m_original->setOverlay(m_heatMapShown ? m_heatMap : QImage());
    m_modified->setOverlay(m_heatMapShown ? m_heatMap : QImage());
}

void PairPanel::refresh()
{
    if (m_index < 0) {
        m_title->setText(tr("No pair"));
        m_findings->clear();
        m_original->setDifferences({}, {});
        m_modified->setDifferences({}, {});
        return;
    }
    const std::vector<pack::Finding> findings = m_document->findings(m_index);
    const EditorPair& pair = m_document->pair(m_index);
    m_title->setText(tr("Pair %1").arg(pair.numbers.id));
    {
        const QSignalBlocker idBlocker(m_id);
        const QSignalBlocker levelBlocker(m_level);
        m_id->setValue(pair.numbers.id);
        const int row = m_level->findData(pair.numbers.level);
        if (row >= 0)
            m_level->setCurrentIndex(row);
    }

    std::array<PairView::Mark, format::kDifferenceCount> marks{};
    for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k) {
        marks[k] = PairView::Mark::Fine;
        for (const pack::Finding& f : findings)
            if (f.differences & (1u << k))
                marks[k] = f.severity == pack::Finding::Error  ? PairView::Mark::Error
                           : marks[k] == PairView::Mark::Error ? PairView::Mark::Error
                                                               : PairView::Mark::Warning;
    }
    m_original->setDifferences(pair.numbers.differences, marks);
    m_modified->setDifferences(pair.numbers.differences, marks);

    {
        const QSignalBlocker blocker(m_coordinates);
        for (int k = 0; k < format::kDifferenceCount; ++k)
            for (int c = 0; c < 4; ++c) {
                auto* item = new QTableWidgetItem(
                    cornerText(pair.numbers.differences[std::size_t(k)][std::size_t(c)]));
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                if (marks[std::size_t(k)] == PairView::Mark::Error)
                    item->setForeground(QColor(198, 40, 40));
                else if (marks[std::size_t(k)] == PairView::Mark::Warning)
                    item->setForeground(QColor(200, 110, 0));
                m_coordinates->setItem(k, c, item);
            }
    }
    showSelection();

    m_findings->clear();
    for (const pack::Finding& f : findings) {
        const bool error = f.severity == pack::Finding::Error;
        auto* item = new QListWidgetItem(
            style()->standardIcon(error ? QStyle::SP_MessageBoxCritical
                                        : QStyle::SP_MessageBoxWarning),
            (error ? tr("Error: %1") : tr("Warning: %1")).arg(f.text), m_findings);
        item->setData(Qt::UserRole, error ? QStringLiteral("error") : QStringLiteral("warning"));
    }
    if (findings.empty())
        new QListWidgetItem(style()->standardIcon(QStyle::SP_DialogApplyButton),
                            tr("Ready: check finds nothing wrong with this pair."), m_findings);
    // How findable each difference is, as check and the generator measure it.
    QStringList each;
    for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k)
        if (const std::optional<pack::Findability>& f = pair.findability[k])
            each << tr("%1: %2 (%3)")
                        .arg(k + 1)
                        .arg(qRound(f->score))
                        .arg(QLatin1String(
                            format::kLevelNames[std::size_t(pack::fittingLevel(*f) - 1)]));
    if (!each.isEmpty()) {
        auto* item = new QListWidgetItem(tr("Findability %1").arg(each.join(QStringLiteral(", "))),
                                         m_findings);
        item->setData(Qt::UserRole, QStringLiteral("findability"));
    }
}

void PairPanel::pushNumbers(const PairNumbers& after, const QString& text, int mergeKey)
{
    const PairNumbers before = m_document->pair(m_index).numbers;
    if (before == after)
        return;
    m_document->undoStack()->push(
        new EditPairCommand(m_document, m_index, before, after, text, mergeKey));
}

void PairPanel::drawDifference(const pack::Difference& difference)
{
    if (m_index < 0)
        return;
    PairNumbers after = m_document->pair(m_index).numbers;
    // A difference the author picked is redrawn; otherwise the first one without coordinates
    // is filled, and drags in a row fill them one after the other.
    int target = m_replaceSelected ? m_selected : -1;
    for (int k = 0; k < format::kDifferenceCount && target < 0; ++k)
        if (!isComplete(after.differences[std::size_t(k)]))
            target = k;
    if (target < 0)
        target = m_selected;
    if (target < 0) {
        emit message(tr("All four differences are drawn: select the one to replace, then draw."));
        return;
    }
    after.differences[std::size_t(target)] = difference;
    pushNumbers(after, tr("Draw difference %1").arg(target + 1));
    // Selected for the arrow keys, but the next drag goes on filling the empty ones.
    selectDifference(target);
    m_replaceSelected = false;
}

void PairPanel::changeDifference(int difference, const pack::Difference& changed, bool byKey)
{
    if (m_index < 0)
        return;
    PairNumbers after = m_document->pair(m_index).numbers;
    const pack::Difference& was = after.differences[std::size_t(difference)];
    const pack::Difference& now = changed;
    const bool sameSize = isComplete(was) && *now.x2 - *now.x1 == *was.x2 - *was.x1 &&
                          *now.y2 - *now.y1 == *was.y2 - *was.y1;
    after.differences[std::size_t(difference)] = changed;
    pushNumbers(
        after,
        (sameSize ? tr("Move difference %1") : tr("Resize difference %1")).arg(difference + 1),
        byKey ? (sameSize ? kMoveKey : kResizeKey) + difference : -1);
}

void PairPanel::deleteDifference(int difference)
{
    if (m_index < 0)
        return;
    PairNumbers after = m_document->pair(m_index).numbers;
    after.differences[std::size_t(difference)] = {};
    pushNumbers(after, tr("Delete difference %1").arg(difference + 1));
}

} // namespace editor

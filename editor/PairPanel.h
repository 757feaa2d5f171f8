#pragma once
// The selected pair as the player sees it, original and modified side by side, with its id, level,
// the four differences in twips and check's findings beside it. Every edit made here goes on the
// document's undo stack.

#include "PairNumbers.h"
#include "PairView.h"

#include <QTimer>
#include <QWidget>

class QComboBox;
class QLabel;
class QListWidget;
class QSpinBox;
class QTableWidget;

namespace editor {

class PairDocument;

class PairPanel : public QWidget
{
    Q_OBJECT
  public:
    explicit PairPanel(PairDocument* document, QWidget* parent = nullptr);

    // -1 shows nothing.
    void showPair(int index);
    int currentPair() const { return m_index; }
    int selectedDifference() const { return m_selected; }
    void selectDifference(int difference);

    void setHeatMapShown(bool shown);
    // Shows original and modified in turn in the right-hand box, to catch changes by eye.
    void setBlinking(bool blinking);
    bool isBlinking() const { return m_blink.isActive(); }

    PairView* originalView() const { return m_original; }
    PairView* modifiedView() const { return m_modified; }

  signals:
    void message(const QString& text);

  private:
    void refresh();
    void refreshPictures();
    void showSelection();
    void pushNumbers(const PairNumbers& after, const QString& text, int mergeKey = -1);
    void drawDifference(const pack::Difference& difference);
    void changeDifference(int difference, const pack::Difference& changed, bool byKey);
    void deleteDifference(int difference);
    void blink();

    PairDocument* m_document;
    int m_index = -1;
    int m_selected = -1;
    // The author chose m_selected (a press on it, a key, the table), so a drag redraws it; after
    // a drag filled an empty difference it stays selected without that.
    bool m_replaceSelected = false;
    bool m_heatMapShown = false;
    bool m_blinkShowsOriginal = false;
    QImage m_heatMap;
    int m_heatMapOf = -1;
    QTimer m_blink;

    QLabel* m_title;
    QSpinBox* m_id;
    QComboBox* m_level;
    PairView* m_original;
    PairView* m_modified;
    QLabel* m_modifiedCaption;
    QTableWidget* m_coordinates;
    QListWidget* m_findings;
};

} // namespace editor

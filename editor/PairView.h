#pragma once
// One picture of the pair in its picture box, at the game's scale (one pixel, 15 twips), with the
// four differences drawn and numbered. Drag on empty ground to draw a difference, drag one to
// move it, drag its edge to resize it; the arrow keys move the selected one (with Shift they
// resize it, with Ctrl ten pixels at a time), Delete clears it, Escape lets go of it.

#include "pack/Manifest.h"

#include <QImage>
#include <QWidget>
#include <array>
#include <optional>

namespace editor {

class PairView : public QWidget
{
    Q_OBJECT
  public:
    enum class Mark { None, Fine, Warning, Error };

    explicit PairView(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    // Drawn translucent over the picture; a null image hides it.
    void setOverlay(const QImage& overlay);
    void setDifferences(const std::array<pack::Difference, format::kDifferenceCount>& differences,
                        const std::array<Mark, format::kDifferenceCount>& marks);
    void setSelected(int difference);
    int selected() const { return m_selected; }

    QSize sizeHint() const override;

  signals:
    void selectedChanged(int difference); // -1: none
    void drawn(const pack::Difference& difference);
    // `byKey`: an arrow-key step, which undo merges with the steps before it.
    void edited(int difference, const pack::Difference& changed, bool byKey);
    void deleteRequested(int difference);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    enum class Drag { None, Draw, Move, Resize };
    // Which edges a resize drags.
    struct Edges
    {
        bool left = false, top = false, right = false, bottom = false;
        bool any() const { return left || top || right || bottom; }
    };

    Edges edgesAt(const QPointF& position) const;
    int differenceAt(const QPointF& position) const;
    pack::Difference dragged(const QPointF& position) const;

    QImage m_picture;
    QImage m_overlay;
    std::array<pack::Difference, format::kDifferenceCount> m_differences;
    std::array<Mark, format::kDifferenceCount> m_marks{};
    int m_selected = -1;

    Drag m_drag = Drag::None;
    Edges m_edges;
    QPointF m_pressedAt;
    int m_dragging = -1;
    std::optional<pack::Difference> m_preview;
};

} // namespace editor

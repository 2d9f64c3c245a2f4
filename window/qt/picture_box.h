#pragma once

#include <QLabel>
#include <QPixmap>
#include <QString>

namespace varnock {

// A picture box: its picture at one logical pixel per image pixel from the
// top left corner, cut at the box's edges. On a screen with more device
// pixels to the logical one it draws from the picture's variant with twice
// the pixels (NAME@2x.EXT beside NAME.EXT), scaled smoothly where the ratio
// is not 2, so the picture stays sharp instead of growing blocky. The image
// is read when the box is first painted, for the ratio of its screen then.
class PictureBox final : public QLabel {
    Q_OBJECT

public:
    PictureBox(const QString& resource, QWidget* parent);

    // The resource a box on a screen with device pixel ratio `ratio` draws.
    QString ResourceFor(qreal ratio) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString resource_;
    QPixmap shown_;
};

}  // namespace varnock

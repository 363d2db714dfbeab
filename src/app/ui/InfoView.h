#pragma once

#include <QWidget>

class CVELMOR740PCRemoteDoc;

// The information pane above the main view: the banner bitmap, the title, and the hint
// or four detail lines, as the document's information-pane state says.
class CInfoView : public QWidget {
    Q_OBJECT
public:
    explicit CInfoView(CVELMOR740PCRemoteDoc& doc, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(640, 70); }
    QSize minimumSizeHint() const override { return QSize(200, 70); }

    // The detail line as drawn into a rectangle of the given width.
    QString DetailLineAsDrawn(int line, int width) const;
    // The four detail rectangles for a banner of width w.
    static QList<QRect> DetailRects(int bannerWidth);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CVELMOR740PCRemoteDoc& m_doc;
};

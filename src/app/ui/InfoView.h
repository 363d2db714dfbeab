#pragma once

#include <QWidget>

class CVELMOR740PCRemoteDoc;

// The information pane above the main view: the banner bitmap, the title, and the hint
// or four detail lines, as the document's information-pane state says.
class CInfoView : public QWidget {
    Q_OBJECT
public:
    explicit CInfoView(CVELMOR740PCRemoteDoc& doc, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(640, InitialHeight()); }
    QSize minimumSizeHint() const override { return QSize(200, 70); }
    // The pane's height at start: 70 pixels, or enough for four lines of hint.
    static int InitialHeight();

    // The hint as drawn into a pane of this size: the lines that fit, the last one cut
    // with an ellipsis when the hint goes on.
    QStringList HintLinesAsDrawn(const QSize& paneSize) const;

    // The detail line as drawn into a rectangle of the given width.
    QString DetailLineAsDrawn(int line, int width) const;
    // The four detail rectangles for a banner of width w.
    static QList<QRect> DetailRects(int bannerWidth);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The banner's width, 100 when it cannot be loaded.
    int BannerWidth() const;

    CVELMOR740PCRemoteDoc& m_doc;
};

#include "InfoView.h"

#include "Artwork.h"
#include "TextFit.h"
#include "VELMOR740PCRemoteDoc.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

QFont TitleFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(24);
    font.setBold(true);
    return font;
}

QFont TextFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    return font;
}

constexpr int kPaneHeight = 70;
constexpr int kRight = 775;

} // namespace

CInfoView::CInfoView(CVELMOR740PCRemoteDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMinimumHeight(kPaneHeight);
}

QList<QRect> CInfoView::DetailRects(int bannerWidth) {
    const int x0 = bannerWidth + 10;
    const int m = (bannerWidth + 460) / 2;
    return {QRect(QPoint(x0, 30), QPoint(m - 3, 47)), QRect(QPoint(m + 3, 30), QPoint(450, 47)),
            QRect(QPoint(x0, 47), QPoint(m - 3, 64)), QRect(QPoint(m + 3, 47), QPoint(450, 64))};
}

QString CInfoView::DetailLineAsDrawn(int line, int width) const {
    const QFontMetrics metrics(TextFont());
    return ShortenToFit(m_doc.InfoPane().details.at(size_t(line)), width,
                        [&](const QString& s) { return metrics.horizontalAdvance(s); });
}

void CInfoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const CInfoPaneState& pane = m_doc.InfoPane();
    const QPixmap banner = Artwork::Bitmap(pane.bannerBitmap);
    const int w = banner.isNull() ? 100 : banner.width();
    if (!banner.isNull())
        painter.drawPixmap(4, (kPaneHeight - banner.height()) / 2, banner);

    const int x0 = w + 10;
    const int right = qMax(kRight, width() - 25);
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(TitleFont());
    painter.drawText(QRect(QPoint(x0, 5), QPoint(right, 28)), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                     pane.title);
    painter.setFont(TextFont());
    if (!pane.showDetails) {
        // A pane made taller with the splitter shows the rest of a long hint.
        const int bottom = qMax(65, height() - 5);
        painter.drawText(QRect(QPoint(x0, 30), QPoint(right, bottom)),
                         Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, pane.hint);
        return;
    }
    const QList<QRect> rects = DetailRects(w);
    for (int line = 0; line < 4; ++line) {
        const QRect& r = rects[line];
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, DetailLineAsDrawn(line, r.width()));
    }
}

#include "app/ui/InfoView.h"

#include "app/TextFit.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/ui/Artwork.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

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
constexpr int kHintTop = 30;
constexpr int kHintBottomMargin = 5;
constexpr int kHintLines = 4;

// The text rectangles reach to the pane's right edge when the window is wider.
int RightEdge(int paneWidth) {
    return qMax(kRight, paneWidth - 25);
}

// The bottom of the hint: 65 in the 70-pixel pane, further down in a taller one.
int HintBottom(int paneHeight) {
    return qMax(65, paneHeight - kHintBottomMargin);
}

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

int CInfoView::InitialHeight() {
    // The catalogue's hints of two or three texts take up to four lines in an 800-pixel
    // window; the 70 pixels of the classic layout show barely two of them.
    const QFontMetrics metrics(TextFont());
    return qMax(kPaneHeight, kHintTop + kHintLines * metrics.lineSpacing() + kHintBottomMargin);
}

QStringList CInfoView::HintLinesAsDrawn(const QSize& paneSize) const {
    // Line breaks of the text stay line breaks.
    QString hint = m_doc.InfoPane().hint;
    hint.replace(QLatin1Char('\n'), QChar::LineSeparator);
    const QFont font = TextFont();
    const QFontMetrics metrics(font);
    const int width = RightEdge(paneSize.width()) - (BannerWidth() + 10) + 1;
    const int height = HintBottom(paneSize.height()) - kHintTop + 1;
    const int fitting = qMax(1, height / metrics.lineSpacing());

    QStringList lines;
    QTextLayout layout(hint, font);
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == fitting - 1) {
            // The last line that fits takes the rest of the hint, cut where it overflows.
            const QString rest =
                hint.mid(line.textStart()).replace(QChar::LineSeparator, QLatin1Char(' ')).trimmed();
            lines << metrics.elidedText(rest, Qt::ElideRight, width);
            break;
        }
        lines << hint.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

int CInfoView::BannerWidth() const {
    const QPixmap banner = Artwork::Bitmap(m_doc.InfoPane().bannerBitmap);
    return banner.isNull() ? 100 : banner.width();
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
    const int right = RightEdge(width());
    painter.setPen(palette().color(QPalette::Text));
    painter.setFont(TitleFont());
    // The 24-pixel font is taller than its 24-pixel rectangle: the descenders of g, p and y
    // may reach down to the hint's first line, which begins below them.
    painter.save();
    painter.setClipRect(QRect(QPoint(x0, 0), QPoint(right, kHintTop + 3)));
    painter.drawText(QRect(QPoint(x0, 5), QPoint(right, 28)),
                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, pane.title);
    painter.restore();
    painter.setFont(TextFont());
    if (!pane.showDetails) {
        // A pane made taller with the splitter shows more of a long hint; what still does
        // not fit ends in an ellipsis instead of a line cut through the middle.
        const int lineSpacing = QFontMetrics(painter.font()).lineSpacing();
        int y = kHintTop;
        for (const QString& line : HintLinesAsDrawn(size())) {
            painter.drawText(QRect(x0, y, right - x0 + 1, lineSpacing), Qt::AlignLeft | Qt::AlignTop, line);
            y += lineSpacing;
        }
        return;
    }
    const QList<QRect> rects = DetailRects(w);
    for (int line = 0; line < 4; ++line) {
        const QRect& r = rects[line];
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, DetailLineAsDrawn(line, r.width()));
    }
}

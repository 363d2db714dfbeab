#include "print/PrintOut.h"

#include "exchange/CsvExport.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "platform/SettingsFile.h"
#include "print/PrintSurface.h"
#include "printheader/BitmapCheck.h"
#include "printheader/PrintHeaderText.h"
#include "store/AdoDatabase.h"
#include "store/RowReader.h"
#include "store/TextCatalog.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"

#include <QDate>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace {

const QColor kGreen(0, 128, 0);
const QColor kDarkRed(128, 0, 0);
const QColor kOlive(128, 128, 0);

constexpr qint32 kPassed = 30800;
constexpr qint32 kFailed = 30801;
constexpr qint32 kNotTested = 30803;

// Range ends are stored as texts with a decimal point; an unreadable one bounds nothing.
bool RangeEnd(const QString& text, double& value) {
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok;
}

QFont ReportFont(int dpiY, double points, int weight) {
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(std::max(1, int(dpiY * points / 72.0 + 0.5)));
    font.setWeight(QFont::Weight(weight));
    return font;
}

void SubstituteFonts() {
    // "Tahoma" has no free twin; the closest installed face stands in, and every layout
    // decision below is made on measured widths.
    static const bool done = [] {
        QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                                   {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
        return true;
    }();
    (void)done;
}

} // namespace

struct CPrintOut::Page {
    QPainter* painter = nullptr;
    int dpiX = 96, dpiY = 96;
    int xu = 9, yu = 9; // device pixels per tenth of an inch
    int width = 0;      // paintable width in pixels
    int height = 0;     // paintable height in pixels
    int usable = 0;     // content ends here (the footer band starts)
    int offset = 0;     // shift of the current page on a device without pages
    int y = 0;          // current position on the page
    int contentTop = 0;
    QFont frameFirst, frame, title, heading, body, bold;
    QFont current;
    int WidthUnits() const { return width / xu; }
};

CPrintOut::CPrintOut(QString dataFolder, QString language, QString referenceFolder, QLocale locale)
    : m_dataFolder(std::move(dataFolder)), m_language(std::move(language)),
      m_referenceFolder(std::move(referenceFolder)), m_locale(std::move(locale)),
      m_catalog(std::make_unique<CTextCatalog>()) {
    SubstituteFonts();
}

CPrintOut::~CPrintOut() = default;

void CPrintOut::SetHeader(const QStringList& lines, int signatureOption) {
    m_headerSet = true;
    m_headerLines = lines.mid(0, 3);
    while (m_headerLines.size() < 3)
        m_headerLines << QString();
    m_signatureOption = (signatureOption >= 0 && signatureOption <= 2) ? signatureOption : 0;
}

// ---------------------------------------------------------------------------------------
// Texts and numbers

bool CPrintOut::OpenCatalogue() {
    // One attempt per writer: a missing velmor.db is told once, not once per text.
    if (!m_catalogOpen && !m_catalogTried) {
        m_catalogTried = true;
        m_catalogOpen = m_catalog->Open(m_referenceFolder.isEmpty() ? Folders::ReferenceDatabaseFolder()
                                                                    : m_referenceFolder);
    }
    return m_catalogOpen;
}

QString CPrintOut::T(qint32 id) {
    QString text;
    if (id != 0 && OpenCatalogue())
        m_catalog->SeekText(id, m_language, text);
    return text;
}

QString CPrintOut::TextOr(qint32 id, const QString& fallback) {
    const QString text = T(id);
    return text.isEmpty() ? fallback : text;
}

CPrintOut::Cell CPrintOut::Mark(double x, bool passed) {
    return Cell{x,   3, passed ? PassMark() : QStringLiteral("X"), Qt::AlignLeft, passed ? kGreen : kDarkRed,
                true};
}

QString CPrintOut::PassMark() {
    return QString(QChar(0x221A));
}

QString CPrintOut::MissingNumber() {
    return QStringLiteral("     -");
}

QColor CPrintOut::ResultColor(qint32 testResultId) {
    switch (testResultId) {
    case kPassed:
        return kGreen;
    case kFailed:
        return kDarkRed;
    case kNotTested:
        return kOlive;
    default:
        return Qt::black;
    }
}

QString CPrintOut::Number(double value, int digits) const {
    return m_locale.toString(value, 'f', std::clamp(digits, 0, 15));
}

QString CPrintOut::MeasuredValue(double value, const Report::Measurement& d) const {
    if (d.compareMode == 2)
        return MissingNumber();
    const QString text = Number(value, d.digits);
    double end = 0;
    if (RangeEnd(d.minValue, end) && value <= end)
        return QStringLiteral("< ") + text;
    if (RangeEnd(d.maxValue, end) && value >= end)
        return QStringLiteral("> ") + text;
    return text;
}

QString CPrintOut::Limit(double limit, const Report::Measurement& d) const {
    return limit == 0 ? MissingNumber() : Number(limit, d.digits);
}

QString CPrintOut::DocumentName(Kind kind, const QString& name) {
    struct Names {
        qint32 id;
        const char* fallback;
    };
    static const Names kNames[] = {{30451, "VELMOR 740_750ST - Test specification"},
                                   {30452, "VELMOR 740_750ST - Device protocol"},
                                   {30455, "VELMOR 740_750ST - First Device protocol"},
                                   {30453, "VELMOR 740_750ST - List of test specifications"},
                                   {30454, "VELMOR 740_750ST - List of device protocols"}};
    const Names& n = kNames[int(kind)];
    const QString text = T(n.id);
    if (text.isEmpty())
        return QString::fromUtf8(n.fallback);
    return FormatText(text, name);
}

QString CPrintOut::Shorten(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    // Each round puts "..." in place of the last three characters of what is left; the
    // longest such text that fits is found by halving.
    const QString dots = QStringLiteral("...");
    int lo = 0, hi = int(text.size()) - 3;
    if (hi < 0)
        hi = 0;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (metrics.horizontalAdvance(text.left(mid) + dots) <= width)
            lo = mid;
        else
            hi = mid - 1;
    }
    return text.left(lo) + dots;
}

QString CPrintOut::RecordName(bool specification, qint32 id) {
    CAdoDatabase db;
    if (!db.Open(m_dataFolder, UserSchema::FileName()))
        return QString();
    QString name;
    if (db.OpenQuery(QStringLiteral("SELECT %1 FROM %2 WHERE id = %3")
                         .arg(specification ? QStringLiteral("Name") : QStringLiteral("Device"),
                              specification ? QStringLiteral("TypenTab") : QStringLiteral("GeraeteTab"))
                         .arg(id)) &&
        db.HasRow()) {
        CRowReader r(db);
        name = r.Text(specification ? "Name" : "Device");
    }
    return name;
}

bool CPrintOut::RecordExists(bool specification, qint32 id) {
    CAdoDatabase db;
    return db.Open(m_dataFolder, UserSchema::FileName()) &&
           db.OpenQuery(QStringLiteral("SELECT id FROM %1 WHERE id = %2")
                            .arg(specification ? QStringLiteral("TypenTab") : QStringLiteral("GeraeteTab"))
                            .arg(id)) &&
           db.HasRow();
}

void CPrintOut::JobMessage(qint32 error, const QString& detail) {
    QString text = TextOr(error, PrintError::Fallback(error));
    if (!detail.isEmpty())
        text = FormatText(QStringLiteral("%s\n%s"), text, detail);
    Notifier().ShowMessage(text, QString(), CNotifier::Icon::Error);
}

// ---------------------------------------------------------------------------------------
// Jobs, pages, frame

void CPrintOut::LoadHeader() {
    if (!m_signatureSet)
        m_signatureName = CSettingsFile(m_dataFolder).Read().signBitmap;
    m_logo = BitmapImage(m_dataFolder + QLatin1Char('/') + CPrintHeaderText::LogoFileName());
    if (m_headerSet)
        return;
    CPrintHeaderText header;
    if (header.Read(m_dataFolder)) {
        m_headerLines = {header.Line(0), header.Line(1), header.Line(2)};
        m_signatureOption = header.Option();
        return;
    }
    // Without a readable header.txt the reports say that no header is defined.
    m_headerLines = {T(30420), T(30421), T(30439)};
    m_signatureOption = 0;
}

QImage CPrintOut::BitmapImage(const QString& path) {
    QByteArray bytes;
    if (BitmapCheck::CheckFile(path, &bytes) != BitmapCheck::Result::Ok)
        return QImage();
    return QImage::fromData(bytes, "BMP");
}

bool CPrintOut::BeginJob(CPrintSurface& surface, Kind kind, const QString& name, const QString& title) {
    m_surface = &surface;
    m_failed = false;
    m_pageNo = 0;
    m_listHeads.clear();
    OpenCatalogue();
    LoadHeader();
    if (!surface.BeginJob(DocumentName(kind, name))) {
        JobMessage(surface.Error(), surface.ErrorDetail());
        m_surface = nullptr;
        return false;
    }
    QPainter& painter = surface.Painter();
    QPaintDevice* device = painter.device();
    m_page = std::make_unique<Page>();
    Page& pg = *m_page;
    pg.painter = &painter;
    pg.dpiX = std::max(10, device->logicalDpiX());
    pg.dpiY = std::max(10, device->logicalDpiY());
    pg.xu = pg.dpiX / 10;
    pg.yu = pg.dpiY / 10;
    pg.width = device->width();
    pg.height = device->height();
    // One unit more than the frame's own four, so that the footer's three lines fit.
    pg.usable = pg.height - 5 * pg.yu;
    pg.frameFirst = ReportFont(pg.dpiY, 11, 500);
    pg.frame = ReportFont(pg.dpiY, 8, 400);
    pg.title = ReportFont(pg.dpiY, 14, 700);
    pg.heading = ReportFont(pg.dpiY, 10, 700);
    pg.body = ReportFont(pg.dpiY, 9, 400);
    pg.bold = ReportFont(pg.dpiY, 9, 700);
    m_footerTitle = title;
    m_pageNo = 1;
    DrawFrame();
    return true;
}

bool CPrintOut::EndJob(bool ok) {
    ok = ok && !m_failed;
    bool done = false;
    if (m_surface) {
        done = m_surface->EndJob(ok);
        if (ok && !done && m_surface->Error())
            JobMessage(m_surface->Error(), m_surface->ErrorDetail());
    }
    m_surface = nullptr;
    m_page.reset();
    return ok && done;
}

bool CPrintOut::PageBreak() {
    if (m_failed || !m_page)
        return false;
    if (m_surface->Paged()) {
        if (!m_surface->NewPage()) {
            m_failed = true;
            JobMessage(m_surface->Error() ? m_surface->Error() : PrintError::StartPage,
                       m_surface->ErrorDetail());
            return false;
        }
    } else {
        m_page->offset += m_page->height;
    }
    ++m_pageNo;
    DrawFrame();
    if (!m_listHeads.isEmpty()) {
        SetFont(m_page->bold);
        Row(m_listHeads);
        SetFont(m_page->body);
    }
    return true;
}

QImage CPrintOut::Logo() {
    return m_logo;
}

void CPrintOut::DrawFrame() {
    Page& pg = *m_page;
    QPainter& p = *pg.painter;
    const int top = pg.offset;
    const int penWidth = std::max(1, pg.dpiX / 50);
    p.save();
    p.setPen(QPen(Qt::black, penWidth));
    p.setBrush(Qt::NoBrush);
    const int half = penWidth / 2;
    p.drawRect(QRect(half, top + half, pg.width - penWidth, pg.height - penWidth));

    // Header band: the logo, the three header lines.
    const QFontMetrics m1(pg.frameFirst, p.device());
    const QFontMetrics m8(pg.frame, p.device());
    const int band = std::max(V(5), V(1) + m1.height() + 2 * m8.height() + V(0.5));
    p.drawLine(0, top + band, pg.width, top + band);
    QImage logo = Logo();
    const QRect logoBox(U(2), top + V(0.5), U(12), V(4));
    if (logo.isNull()) {
        logo = QImage(QStringLiteral(":/print/bitmaps/IDB_ERROR_LOGO.png"));
        p.drawImage(logoBox, logo);
    } else {
        const QSize fitted = logo.size().scaled(QSize(U(13), V(4)), Qt::KeepAspectRatio);
        p.drawImage(QRect(logoBox.topLeft(), fitted), logo);
    }
    p.drawLine(U(16), top, U(16), top + band);
    int widest = m1.horizontalAdvance(m_headerLines.value(0));
    for (int i = 1; i < 3; ++i)
        widest = std::max(widest, m8.horizontalAdvance(m_headerLines.value(i)));
    // The second separator stands at 34 units unless the header lines reach further.
    const int separator = std::max(U(34), U(18) + widest + U(1));
    if (separator < pg.width - U(2))
        p.drawLine(separator, top, separator, top + band);
    const int textWidth = std::max(U(4), std::min(separator, pg.width) - U(18) - U(0.5));
    int y = top + V(1);
    p.setFont(pg.frameFirst);
    p.drawText(QRect(U(18), y, textWidth, m1.height()), Qt::AlignLeft | Qt::AlignVCenter,
               Shorten(m_headerLines.value(0), m1, textWidth));
    y += m1.height();
    p.setFont(pg.frame);
    for (int i = 1; i < 3; ++i) {
        p.drawText(QRect(U(18), y, textWidth, m8.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   Shorten(m_headerLines.value(i), m8, textWidth));
        y += m8.height();
    }

    // Footer band: the maker's bitmap, who printed it, the title, the date, the page.
    const int footer = top + pg.usable;
    p.drawLine(0, footer, pg.width, footer);
    p.drawImage(QRect(U(2), footer + V(1), U(9), V(3)),
                QImage(QStringLiteral(":/print/bitmaps/IDB_KESTRA_BIG.png")));
    QStringList identity;
    if (m_protocolFooter)
        identity << m_testerName << FormatText(QStringLiteral("%s: %s"), T(30424), m_testerSw)
                 << FormatText(QStringLiteral("%s: %s"), T(30425), m_testerSerial);
    else
        identity << QStringLiteral("VELMOR 740/750ST")
                 << FormatText(QStringLiteral("%s: %s"), T(30458), QStringLiteral(V740_VERSION));
    const int W = pg.WidthUnits();
    const double titleX = std::min(37.0, W * 0.45);
    const double pageX = titleX + 30;
    y = footer + V(0.5);
    const int lineHeight = m8.height();
    for (int i = 0; i < identity.size(); ++i) {
        const int width = U(titleX - 12.5);
        p.drawText(QRect(U(12), y + i * lineHeight, width, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   Shorten(identity[i], m8, width));
    }
    p.drawText(QRect(U(titleX), y, U(30), lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
               Shorten(m_footerTitle, m8, U(30)));
    p.drawText(QRect(U(titleX), y + lineHeight, U(30), lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
               Shorten(m_locale.toString(QDate::currentDate(), QLocale::LongFormat), m8, U(30)));
    const int pageWidth = std::max(U(4), pg.width - U(pageX) - U(1));
    p.drawText(QRect(pg.width - U(1) - pageWidth, y, pageWidth, lineHeight),
               Qt::AlignRight | Qt::AlignVCenter, FormatText(QStringLiteral("%s %d"), T(30423), m_pageNo));
    p.restore();

    pg.contentTop = band + V(1);
    pg.y = pg.contentTop;
    SetFont(pg.body);
}

// ---------------------------------------------------------------------------------------
// Layout helpers

int CPrintOut::U(double units) const {
    return int(std::lround(units * m_page->xu));
}

int CPrintOut::V(double units) const {
    return int(std::lround(units * m_page->yu));
}

void CPrintOut::SetFont(const QFont& font) {
    m_page->current = font;
    m_page->painter->setFont(font);
}

int CPrintOut::LineHeight() const {
    return QFontMetrics(m_page->current, m_page->painter->device()).height();
}

bool CPrintOut::Room(int height) const {
    return m_page->y + height <= m_page->usable;
}

void CPrintOut::NewLine(int height) {
    if (m_failed)
        return;
    m_page->y += height < 0 ? LineHeight() : height;
}

void CPrintOut::Gap(double units) {
    if (m_failed)
        return;
    m_page->y += V(units);
}

void CPrintOut::BlockCheck() {
    if (!m_failed && m_page->y > m_page->usable * 0.955)
        PageBreak();
}

void CPrintOut::Title(const QString& text) {
    if (m_failed)
        return;
    SetFont(m_page->title);
    const int h = LineHeight();
    if (!Room(h))
        PageBreak();
    if (m_failed)
        return;
    QPainter& p = *m_page->painter;
    const QFontMetrics metrics(m_page->current, p.device());
    const int width = m_page->width - U(4);
    p.setPen(Qt::black);
    p.drawText(QRect(U(2), m_page->offset + m_page->y, width, h), Qt::AlignHCenter | Qt::AlignVCenter,
               Shorten(text, metrics, width));
    NewLine(h);
    Gap(0.5);
    SetFont(m_page->body);
}

void CPrintOut::Heading(const QString& text) {
    if (m_failed)
        return;
    BlockCheck();
    SetFont(m_page->heading);
    const int h = LineHeight();
    if (!Room(h + V(1)))
        PageBreak();
    if (m_failed)
        return;
    Gap(0.4);
    QPainter& p = *m_page->painter;
    const QFontMetrics metrics(m_page->current, p.device());
    const int width = m_page->width - U(4);
    p.setPen(Qt::black);
    p.drawText(QRect(U(2), m_page->offset + m_page->y, width, h), Qt::AlignLeft | Qt::AlignVCenter,
               Shorten(text, metrics, width));
    NewLine(h);
    const int penWidth = std::max(1, m_page->dpiX / 100);
    p.setPen(QPen(Qt::black, penWidth));
    p.drawLine(U(2), m_page->offset + m_page->y, m_page->width - U(2), m_page->offset + m_page->y);
    Gap(0.2);
    SetFont(m_page->body);
}

void CPrintOut::Row(const QList<Cell>& cells) {
    if (m_failed)
        return;
    const int h = LineHeight();
    if (!Room(h) && !PageBreak())
        return;
    QPainter& p = *m_page->painter;
    const QFontMetrics metrics(m_page->current, p.device());
    QFont boldFont = m_page->current;
    boldFont.setWeight(QFont::Bold);
    const QFontMetrics boldMetrics(boldFont, p.device());
    const int right = m_page->width - U(1);
    for (const Cell& c : cells) {
        const int x = U(c.x);
        const int width = std::min(U(c.width), right - x);
        if (width <= 0 || c.text.isEmpty())
            continue;
        p.setPen(c.color);
        p.setFont(c.bold ? boldFont : m_page->current);
        p.drawText(QRect(x, m_page->offset + m_page->y, width, h), int(c.align | Qt::AlignVCenter),
                   Shorten(c.text, c.bold ? boldMetrics : metrics, width));
    }
    p.setFont(m_page->current);
    NewLine(h);
}

void CPrintOut::WrappedRow(double x, double width, const QString& text, const QList<Cell>& before) {
    if (m_failed)
        return;
    QPainter& p = *m_page->painter;
    const QFontMetrics metrics(m_page->current, p.device());
    const int w = std::min(U(width), m_page->width - U(1) - U(x));
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    int h = std::max(LineHeight(),
                     metrics.boundingRect(QRect(0, 0, std::max(1, w), 1 << 20), flags, text).height());
    if (!Room(h) && !PageBreak())
        return;
    for (const Cell& c : before) {
        QFont font = m_page->current;
        if (c.bold)
            font.setWeight(QFont::Bold);
        p.setFont(font);
        p.setPen(c.color);
        p.drawText(QRect(U(c.x), m_page->offset + m_page->y, U(c.width), LineHeight()),
                   int(c.align | Qt::AlignVCenter),
                   Shorten(c.text, QFontMetrics(font, p.device()), U(c.width)));
    }
    p.setFont(m_page->current);
    p.setPen(Qt::black);
    p.drawText(QRect(U(x), m_page->offset + m_page->y, std::max(1, w), h), flags, text);
    NewLine(h);
}

void CPrintOut::Pair(const QString& label, const QString& value, int column, const QColor& color) {
    const double x = column == 0 ? 2 : 40;
    const double labelWidth = column == 0 ? 15 : 14;
    const double valueWidth = column == 0 ? 22 : m_page->WidthUnits() - 2 - (x + labelWidth);
    Row({Cell{x, labelWidth, label},
         Cell{x + labelWidth, valueWidth, QStringLiteral(": ") + value, Qt::AlignLeft, color}});
}

void CPrintOut::Pairs(const QList<std::pair<QString, QString>>& pairs) {
    const int W = m_page->WidthUnits();
    for (int i = 0; i < pairs.size(); i += 2) {
        QList<Cell> cells{Cell{2, 15, pairs[i].first}, Cell{17, 22, QStringLiteral(": ") + pairs[i].second}};
        if (i + 1 < pairs.size())
            cells << Cell{40, 14, pairs[i + 1].first}
                  << Cell{54, double(W - 56), QStringLiteral(": ") + pairs[i + 1].second};
        Row(cells);
    }
}

// ---------------------------------------------------------------------------------------
// Report sections

namespace {

QString ShortDate(const QLocale& locale, const QDateTime& date) {
    if (!date.isValid() || date.date() == QDate(1900, 1, 1))
        return QString();
    QString pattern = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    pattern.replace(twoDigitYear, QStringLiteral("yyyy"));
    return locale.toString(date.date(), pattern);
}

} // namespace

void CPrintOut::SpecificationMasterData(const Report::Specification& s, qint32 titleTextId) {
    if (titleTextId)
        Heading(T(titleTextId));
    if (titleTextId)
        Pair(T(19), s.name);
    Pairs({{T(10007), T(s.standardId)},
           {T(10009), T(s.classId)},
           {T(10003), s.manufacturer},
           {T(10014), FormatText(QStringLiteral("%s %s"), QString::number(s.reviewPeriod), T(134))},
           {T(10005), s.description},
           {T(125), ShortDate(m_locale, s.createDate)}});
    if (s.iconSymbol.compare(QLatin1String("IDB_TESTSTEPEDITOR"), Qt::CaseInsensitive) == 0)
        Row({Cell{2, double(m_page->WidthUnits() - 4), T(156)}});

    // Power and cord, or the loop impedance of a machine.
    if (s.nominalPower > 6600 && s.nominalPower < 6700) {
        Heading(T(11000));
        const QString device = T(s.nominalPower);
        Row({Cell{2, double(m_page->WidthUnits() - 4), device}});
        static const QRegularExpression current(QStringLiteral("Ia\\s*=\\s*([^)]*)"));
        const QString ia = current.match(device).captured(1).trimmed();
        Row({Cell{2, 15, QStringLiteral("Zs max.")},
             Cell{17, 22,
                  FormatText(QStringLiteral("%s %s"), Number(s.cordLength, 1),
                             FormatText(QStringLiteral("[m%s]"), T(31208)))}});
        if (!ia.isEmpty())
            Row({Cell{2, 15, QStringLiteral("Ia  = ")}, Cell{17, 22, ia}});
    } else if (s.nominalPower != 0) {
        Heading(T(10100));
        if (s.nominalPower < 6600)
            Pair(T(10101), T(s.nominalPower));
        else
            Row({Cell{2, double(m_page->WidthUnits() - 4), T(s.nominalPower)}});
        if (s.nominalPower < 6600 && s.cordLength > 0)
            Pair(T(10206), FormatText(QStringLiteral("max. %s Meter"), Number(s.cordLength, 1)));
    }

    if (s.partsUsed) {
        Heading(T(10300));
        SetFont(m_page->bold);
        Row({Cell{2, 12, T(10312)}, Cell{14, 30, QString()}, Cell{44, 20, T(10310)}});
        SetFont(m_page->body);
        for (const Report::AppliedPart& part : s.parts)
            Row({Cell{2, 12, FormatText(QStringLiteral("%s %d"), T(10312), part.groupNo)},
                 Cell{14, 30, T(part.appliedPartId)},
                 Cell{44, 20, CCsvExport::JackList(quint32(part.jacks))}});
    }
}

void CPrintOut::SpecificationParameters(const Report::Specification& s) {
    if (s.measMethodeId != 0) {
        Gap(0.3);
        Pair(T(10500), T(s.measMethodeId));
    }
    if (s.iconSymbol.startsWith(QLatin1String("IDB_LEITUNG"), Qt::CaseInsensitive))
        return;
    Heading(T(10400));
    for (const Report::Parameter& parameter : s.parameters) {
        if (parameter.value == -1)
            continue;
        const bool set = parameter.value == 1;
        Row({Mark(2, set), Cell{4, double(m_page->WidthUnits() - 6), T(parameter.labelTextId)}});
    }
    if (s.testSequenceId != 0)
        Pair(T(10600), T(s.testSequenceId));
}

QString CPrintOut::GroupText(const Report::Specification& s, const Report::MeasurementStep& m) const {
    if (m.groupNo == 0)
        return QString();
    quint32 jacks = quint32(m.jacks);
    if (jacks == 0)
        for (const Report::AppliedPart& part : s.parts)
            if (part.groupNo == m.groupNo)
                jacks = quint32(part.jacks);
    if (jacks == 0)
        return QString::number(m.groupNo);
    return FormatText(QStringLiteral("%d: %s"), m.groupNo, CCsvExport::JackList(jacks));
}

QString CPrintOut::AppliedPartText(const Report::Specification& s, const Report::MeasurementStep& m) {
    if (m.groupNo == 0)
        return QString();
    for (const Report::AppliedPart& part : s.parts)
        if (part.groupNo == m.groupNo)
            return T(part.appliedPartId);
    return QString();
}

QString CPrintOut::MeasurementName(const Report::MeasurementStep& m) {
    if (!m.definition.found)
        return FormatText(T(30826), m.measNo);
    return T(m.definition.nameTextId);
}

bool CPrintOut::PrintSpecification(CPrintSurface& surface, qint32 id) {
    OpenCatalogue();
    CAdoDatabase db, ref;
    const QString refFolder =
        m_referenceFolder.isEmpty() ? Folders::ReferenceDatabaseFolder() : m_referenceFolder;
    if (!db.Open(m_dataFolder, UserSchema::FileName()) || !ref.Open(refFolder, QStringLiteral("velmor.db")))
        return false;
    Report::Specification s;
    qint32 error = 0;
    if (!Report::ReadSpecification(db, ref, id, s, error))
        return false;
    m_protocolFooter = false;
    const QString title = FormatText(QStringLiteral("%s : %s"), T(19), s.name);
    if (!BeginJob(surface, Kind::Specification, s.name, title))
        return false;
    const int W = m_page->WidthUnits();
    Title(title);
    SpecificationMasterData(s, 0);
    SpecificationParameters(s);

    if (!s.visual.isEmpty()) {
        Heading(T(10812));
        int n = 0;
        for (const Report::VisualStep& v : s.visual)
            WrappedRow(6, W - 8, v.textId != 0 ? T(v.textId) : v.text, {Cell{2, 4, QString::number(++n)}});
    }
    if (!s.measurements.isEmpty()) {
        Heading(T(30431));
        const bool parts = s.partsUsed;
        SetFont(m_page->bold);
        Row({Cell{2, 5, T(30820)}, Cell{7, 30, QString()}, Cell{38, 9, parts ? T(10312) : QString()},
             Cell{48, 10, parts ? T(10342) : QString()}, Cell{58, 10, T(30823), Qt::AlignRight}});
        SetFont(m_page->body);
        for (const Report::MeasurementStep& m : s.measurements) {
            const QString limit = Limit(m.limit, m.definition);
            Row({Cell{2, 5, QString::number(m.measNo)}, Cell{7, 30, MeasurementName(m)},
                 Cell{38, 9, parts ? GroupText(s, m) : QString()},
                 Cell{48, 10, parts ? AppliedPartText(s, m) : QString()}, Cell{58, 10, limit, Qt::AlignRight},
                 Cell{68.5, double(W - 70), m.limit == 0 ? QString() : m.definition.unit}});
        }
    }
    if (!s.functional.isEmpty()) {
        Heading(T(30847));
        SetFont(m_page->bold);
        Row({Cell{2, 40, T(10908)}, Cell{44, double(W - 46), T(10919)}});
        SetFont(m_page->body);
        for (const Report::FunctionalStep& f : s.functional) {
            QString range;
            if (f.useLimits == 2)
                range =
                    FormatText(QStringLiteral("%s: %s...%s"), T(10920), Number(f.low, 2), Number(f.high, 2));
            Row({Cell{2, 41, f.text}, Cell{44, double(W - 46), range}});
        }
    }
    return EndJob(true);
}

void CPrintOut::ProtocolBody(const Report::Protocol& p, bool first) {
    const Report::Specification& s = p.specification;
    const int W = m_page->WidthUnits();
    Title(m_footerTitle);
    const qint32 interval = p.reviewPeriod > 0 ? p.reviewPeriod : s.reviewPeriod;
    Pairs({{T(30433), p.nominalVoltage},
           {T(10014), FormatText(QStringLiteral("%s %s"), QString::number(interval), T(134))},
           {T(30806), p.serial},
           {T(30906), p.city},
           {T(10003), p.manufacturer},
           {T(30907), p.street},
           {T(10005), p.description},
           {T(30807), p.location},
           {T(30810), p.costs},
           {T(30809), p.department},
           {T(30859), p.client},
           {T(30808), p.room}});
    if (!p.comment.isEmpty())
        WrappedRow(17, W - 19, QStringLiteral(": ") + p.comment, {Cell{2, 15, T(18)}});
    else
        Pair(T(18), QString());

    SpecificationMasterData(s, 30432);

    if (!first && !s.visual.isEmpty()) {
        Heading(T(10812));
        for (const Report::VisualStep& v : s.visual) {
            const bool passed = v.result != 0;
            WrappedRow(5, W - 7, v.textId != 0 ? T(v.textId) : v.text, {Mark(2, passed)});
        }
    }
    if (!s.measurements.isEmpty()) {
        Heading(T(30431));
        const bool parts = s.partsUsed;
        SetFont(m_page->bold);
        Row({Cell{5, 5, T(30820)}, Cell{36, 8, parts ? T(10312) : QString()},
             Cell{44.5, 6.5, parts ? T(10342) : QString()}, Cell{51, 8, T(30823), Qt::AlignRight},
             Cell{59.5, 8, T(30822), Qt::AlignRight}});
        SetFont(m_page->body);
        for (const Report::MeasurementStep& m : s.measurements) {
            const double value = first ? m.firstValue : m.value;
            bool passed =
                first ? Report::FirstValuePassed(m.definition.compareMode, value, m.limit) : m.result != 0;
            if (!m.definition.found && first)
                passed = false;
            QString valueText = m.definition.found ? MeasuredValue(value, m.definition) : MissingNumber();
            Row({Mark(2, passed), Cell{5, 5, QString::number(m.measNo)}, Cell{10, 25.5, MeasurementName(m)},
                 Cell{36, 8, parts ? GroupText(s, m) : QString()},
                 Cell{44.5, 6.5, parts ? AppliedPartText(s, m) : QString()},
                 Cell{51, 8, Limit(m.limit, m.definition), Qt::AlignRight},
                 Cell{59.5, 8, valueText, Qt::AlignRight}, Cell{68, double(W - 69), m.definition.unit}});
        }
    }
    if (!s.functional.isEmpty()) {
        Heading(T(30847));
        SetFont(m_page->bold);
        Row({Cell{5, 30, QString()}, Cell{36, 12, T(30822), Qt::AlignRight},
             Cell{50, double(W - 52), T(30823)}});
        SetFont(m_page->body);
        for (const Report::FunctionalStep& f : s.functional) {
            const double value = first ? f.firstValue : f.value;
            bool passed = f.result != 0;
            if (first)
                passed = f.useLimits == 1 || (f.useLimits == 2 && value >= f.low && value <= f.high);
            QString valueText, limits;
            if (f.useLimits == 1 || f.useLimits == 2)
                valueText = Number(value, 2);
            if (f.useLimits == 2)
                limits =
                    FormatText(QStringLiteral("%s: %s...%s"), T(30823), Number(f.low, 2), Number(f.high, 2));
            Row({Mark(2, passed), Cell{5, 30, f.text}, Cell{36, 12, valueText, Qt::AlignRight},
                 Cell{50, double(W - 52), limits}});
        }
    }

    BlockCheck();
    Gap(0.8);
    SetFont(m_page->bold);
    Pair(T(30434), T(p.testResultId), 0, ResultColor(p.testResultId));
    SetFont(m_page->body);
    Gap(0.5);
    if (first) {
        Pair(T(32716), ShortDate(m_locale, p.firstTestDate));
        Pair(T(30438), ShortDate(m_locale, p.nextTestDate));
        return;
    }

    // The signature area beside the operator and the dates.
    const int signatureHeight = m_signatureOption == 1 ? 4 * LineHeight() : V(6);
    if (!Room(signatureHeight))
        PageBreak();
    if (m_failed)
        return;
    QPainter& painter = *m_page->painter;
    const int areaTop = m_page->y;
    const double lineX = W - 2 - 17;
    if (m_signatureOption != 1) {
        const int lineY = m_page->offset + areaTop + V(4);
        if (m_signatureOption == 2) {
            const QImage signature = SignatureImage();
            if (!signature.isNull()) {
                const QSize fitted = signature.size().scaled(QSize(U(17), V(3.5)), Qt::KeepAspectRatio);
                painter.drawImage(QRect(QPoint(U(lineX), lineY - fitted.height()), fitted), signature);
            }
        }
        painter.setPen(QPen(Qt::black, std::max(1, m_page->dpiX / 100)));
        painter.drawLine(U(lineX), lineY, U(lineX + 17), lineY);
        const int h = LineHeight();
        painter.setPen(Qt::black);
        painter.drawText(QRect(U(lineX), lineY + V(0.1), U(17), h), Qt::AlignHCenter | Qt::AlignTop,
                         T(30437));
    }
    Pair(T(30436), p.op);
    Pair(T(30435), ShortDate(m_locale, p.testDate));
    Pair(T(30438), ShortDate(m_locale, p.nextTestDate));
    if (m_signatureOption == 1) {
        // The protocol says that it needs no signature instead of offering a line for one.
        Gap(0.5);
        WrappedRow(2, W - 4, T(50217));
    } else {
        m_page->y = std::max(m_page->y, areaTop + signatureHeight);
    }
}

QImage CPrintOut::SignatureImage() {
    // The stored signature is scrambled; only what unscrambles to a drawable bitmap prints.
    QByteArray bytes;
    if (m_signatureName.isEmpty() || !CPrintHeaderText::ReadSignature(m_dataFolder, m_signatureName, bytes) ||
        BitmapCheck::Check(bytes) != BitmapCheck::Result::Ok)
        return QImage();
    return QImage::fromData(bytes, "BMP");
}

bool CPrintOut::PrintProtocol(CPrintSurface& surface, qint32 id) {
    return PrintProtocolReport(surface, id, false);
}

bool CPrintOut::PrintFirstProtocol(CPrintSurface& surface, qint32 id) {
    return PrintProtocolReport(surface, id, true);
}

bool CPrintOut::PrintProtocolReport(CPrintSurface& surface, qint32 id, bool first) {
    OpenCatalogue();
    CAdoDatabase db, ref;
    const QString refFolder =
        m_referenceFolder.isEmpty() ? Folders::ReferenceDatabaseFolder() : m_referenceFolder;
    if (!db.Open(m_dataFolder, UserSchema::FileName()) || !ref.Open(refFolder, QStringLiteral("velmor.db")))
        return false;
    Report::Protocol p;
    qint32 error = 0;
    if (!Report::ReadProtocol(db, ref, id, first, p, error))
        return false;
    if (!p.specificationFound) {
        // Without its specification a protocol cannot be laid out; nothing is printed.
        Notifier().ShowMessage(
            FormatText(TextOr(30858, QStringLiteral("The test specification %s is not installed!")),
                       p.specificationName),
            QString(), CNotifier::Icon::Error);
        return false;
    }
    m_protocolFooter = true;
    m_testerName = p.testerName;
    m_testerSw = p.testerSw;
    m_testerSerial = p.testerSerial;
    const QString title = FormatText(QStringLiteral("%s : %s"), T(26), p.device);
    if (!BeginJob(surface, first ? Kind::FirstProtocol : Kind::Protocol, p.device, title))
        return false;
    ProtocolBody(p, first);
    return EndJob(true);
}

void CPrintOut::ListHeadings(bool specifications) {
    const int W = m_page->WidthUnits();
    QStringList heads = T(specifications ? 142 : 143).split(QLatin1Char('\t'));
    const QString number = T(141);
    if (specifications) {
        m_listHeads = {Cell{2, 5, number}, Cell{7, 16, heads.value(0)}, Cell{24, 16, heads.value(1)},
                       Cell{41, 22, heads.value(2)}, Cell{64, double(W - 66), heads.value(3)}};
    } else {
        m_listHeads = {Cell{2, 5, number},
                       Cell{7, 7, heads.value(0)},
                       Cell{14.5, 16, heads.value(1)},
                       Cell{31, 13, heads.value(2)},
                       Cell{44.5, 12, heads.value(3)},
                       Cell{57, 8, heads.value(4)},
                       Cell{65.5, double(W - 67), heads.value(5)}};
    }
    SetFont(m_page->bold);
    Row(m_listHeads);
    SetFont(m_page->body);
}

bool CPrintOut::PrintSpecificationList(CPrintSurface& surface, const QList<qint32>& ids) {
    return PrintList(surface, true, ids);
}

bool CPrintOut::PrintProtocolList(CPrintSurface& surface, const QList<qint32>& ids) {
    return PrintList(surface, false, ids);
}

bool CPrintOut::PrintList(CPrintSurface& surface, bool specifications, const QList<qint32>& ids) {
    OpenCatalogue();
    CAdoDatabase db;
    if (!db.Open(m_dataFolder, UserSchema::FileName()) ||
        !db.OpenTable(specifications ? QStringLiteral("TypenTab") : QStringLiteral("GeraeteTab")) ||
        !db.SetIndex(QStringLiteral("idx")))
        return false;
    m_protocolFooter = false;
    const QString title = T(specifications ? 144 : 145);
    if (!BeginJob(surface, specifications ? Kind::SpecificationList : Kind::ProtocolList, title, title))
        return false;
    Title(title);
    ListHeadings(specifications);
    int n = 0;
    for (const qint32 id : ids) {
        if (m_failed)
            break;
        ++n;
        const Report::ListLine line = Report::ReadListLine(db, specifications, id);
        if (!line.found) {
            NewLine(); // an id that no longer exists leaves its line empty
            if (m_page->y > m_page->usable)
                PageBreak();
            continue;
        }
        const QList<Cell>& h = m_listHeads;
        if (specifications) {
            Row({Cell{h[0].x, h[0].width, QString::number(n)}, Cell{h[1].x, h[1].width, line.name},
                 Cell{h[2].x, h[2].width, line.description}, Cell{h[3].x, h[3].width, T(line.standardId)},
                 Cell{h[4].x, h[4].width, ShortDate(m_locale, line.createDate)}});
        } else {
            QString mark;
            if (line.testResultId == kPassed)
                mark = PassMark();
            else if (line.testResultId == kFailed)
                mark = QStringLiteral("X");
            else
                mark = T(line.testResultId);
            Row({Cell{h[0].x, h[0].width, QString::number(n)},
                 Cell{h[1].x, h[1].width, mark, Qt::AlignLeft, ResultColor(line.testResultId), true},
                 Cell{h[2].x, h[2].width, line.name}, Cell{h[3].x, h[3].width, line.description},
                 Cell{h[4].x, h[4].width, line.client},
                 Cell{h[5].x, h[5].width, ShortDate(m_locale, line.testDate)},
                 Cell{h[6].x, h[6].width, ShortDate(m_locale, line.nextTestDate)}});
        }
    }
    return EndJob(true);
}

bool CPrintOut::Print(Kind kind, CPrintSurface& surface, const QList<qint32>& ids) {
    if (ids.isEmpty())
        return false;
    switch (kind) {
    case Kind::Specification:
        return PrintSpecification(surface, ids.first());
    case Kind::Protocol:
        return PrintProtocol(surface, ids.first());
    case Kind::FirstProtocol:
        return PrintFirstProtocol(surface, ids.first());
    case Kind::SpecificationList:
        return PrintSpecificationList(surface, ids);
    case Kind::ProtocolList:
        return PrintProtocolList(surface, ids);
    }
    return false;
}

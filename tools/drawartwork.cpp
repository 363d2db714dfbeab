// Draws the program's artwork into resources/bitmaps and resources/icons. Every image is
// drawn at the size it is shown at, so it stays sharp. Run after changing a drawing:
//   cmake --build build --target v740_drawartwork && build/tools/v740_drawartwork resources
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

const QColor kYellow(0xF5, 0xC5, 0x18);
const QColor kYellowDark(0xC9, 0x9A, 0x06);
const QColor kInk(0x2B, 0x2F, 0x36);
const QColor kScreen(0x1F, 0x3B, 0x4D);
const QColor kScreenText(0x7C, 0xE0, 0x8A);
const QColor kBlue(0x1E, 0x6F, 0xD9);
const QColor kBlueDark(0x13, 0x4E, 0x9C);
const QColor kGreen(0x2E, 0xA0, 0x43);
const QColor kGreenDark(0x1D, 0x6F, 0x2C);
const QColor kRed(0xD9, 0x30, 0x25);
const QColor kAmber(0xF2, 0x99, 0x1D);
const QColor kGrey(0x8A, 0x8F, 0x98);
const QColor kMetal(0xC9, 0xCE, 0xD6);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kPaperEdge(0x8E, 0x98, 0xA4);
const QColor kFolder(0xF0, 0xB8, 0x4F);
const QColor kFolderDark(0xC8, 0x8A, 0x1E);
const QColor kDb(0x5B, 0x7D, 0xA8);
const QColor kDbTop(0x8F, 0xB1, 0xD9);

using Draw = std::function<void(QPainter&)>;

// Draws in a design grid of gridW by gridH units onto an image of w by h pixels.
bool Save(const QString& path, int w, int h, double gridW, double gridH, const Draw& draw) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(w / gridW, h / gridH);
    draw(p);
    p.end();
    const bool ok = image.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

QPen Pen(const QColor& c, double width) {
    QPen pen(c, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

// The handheld tester: yellow body, dark screen with a reading, two sockets, keys.
void Tester(QPainter& p, const QRectF& r) {
    const double u = r.width() / 24.0;
    p.setPen(Pen(kInk, 1.2 * u));
    p.setBrush(kYellow);
    p.drawRoundedRect(r, 3 * u, 3 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(kYellowDark);
    p.drawRect(QRectF(r.left() + 1.2 * u, r.bottom() - 4 * u, r.width() - 2.4 * u, 2.6 * u));
    // Screen.
    const QRectF screen(r.left() + 3 * u, r.top() + 3 * u, r.width() - 6 * u, r.height() * 0.42);
    p.setBrush(kScreen);
    p.setPen(Pen(kInk, 0.8 * u));
    p.drawRoundedRect(screen, 1.2 * u, 1.2 * u);
    p.setPen(Pen(kScreenText, 1.3 * u));
    const double y1 = screen.top() + screen.height() * 0.38, y2 = screen.top() + screen.height() * 0.7;
    p.drawLine(QPointF(screen.left() + 2 * u, y1), QPointF(screen.right() - 5 * u, y1));
    p.drawLine(QPointF(screen.left() + 2 * u, y2), QPointF(screen.right() - 2 * u, y2));
    // Keys.
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    const double ky = screen.bottom() + 2.2 * u;
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(r.left() + r.width() * (0.28 + 0.22 * i), ky + 1.4 * u), 1.5 * u, 1.5 * u);
}

// A database cylinder.
void Database(QPainter& p, const QRectF& r) {
    const double e = r.height() * 0.28;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + e / 2);
    body.lineTo(r.left(), r.bottom() - e / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - e, r.width(), e), 180, 180);
    body.lineTo(r.right(), r.top() + e / 2);
    body.closeSubpath();
    p.setPen(Pen(kInk, r.width() * 0.07));
    p.setBrush(kDb);
    p.drawPath(body);
    p.setBrush(kDbTop);
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), e));
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(kDbTop, r.width() * 0.06));
    const double mid = r.top() + r.height() * 0.55;
    p.drawArc(QRectF(r.left() + r.width() * 0.05, mid - e / 2, r.width() * 0.9, e), 200 * 16, 140 * 16);
}

// A bold arrow from a to b.
void Arrow(QPainter& p, QPointF a, QPointF b, const QColor& fill, double width) {
    const QLineF line(a, b);
    const double head = width * 1.9;
    QLineF back(b, a);
    back.setLength(head);
    const QPointF base = back.p2();
    QLineF normal = back.normalVector();
    normal.setLength(width * 1.15);
    const QPointF off = normal.p2() - normal.p1();
    QLineF shaft(a, base);
    QLineF sn = shaft.normalVector();
    sn.setLength(width / 2);
    const QPointF so = sn.p2() - sn.p1();
    QPainterPath path;
    path.moveTo(a + so);
    path.lineTo(base + so);
    path.lineTo(base + off);
    path.lineTo(b);
    path.lineTo(base - off);
    path.lineTo(base - so);
    path.lineTo(a - so);
    path.closeSubpath();
    p.setPen(Pen(fill.darker(150), width * 0.22));
    p.setBrush(fill);
    p.drawPath(path);
    Q_UNUSED(line);
}

// A USB stick lying across.
void UsbStick(QPainter& p, const QRectF& r) {
    const double u = r.height() / 10.0;
    QRectF plug(r.right() - 3.2 * u, r.top() + 2.4 * u, 3.2 * u, 5.2 * u);
    p.setPen(Pen(kInk, 0.7 * u));
    p.setBrush(kMetal);
    p.drawRect(plug);
    p.setBrush(kInk);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(plug.left() + 0.9 * u, plug.top() + 1.2 * u, 1.2 * u, 1.0 * u));
    p.drawRect(QRectF(plug.left() + 0.9 * u, plug.bottom() - 2.2 * u, 1.2 * u, 1.0 * u));
    p.setPen(Pen(kInk, 0.7 * u));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(r.left(), r.top(), r.width() - 3.2 * u, r.height()), 1.8 * u, 1.8 * u);
    // The USB trident.
    p.setPen(Pen(Qt::white, 0.7 * u));
    const double cy = r.center().y(), x0 = r.left() + 1.6 * u, x1 = r.right() - 5.0 * u;
    p.drawLine(QPointF(x0, cy), QPointF(x1, cy));
    p.drawLine(QPointF(x0 + 2.0 * u, cy), QPointF(x0 + 3.2 * u, cy - 2 * u));
    p.drawLine(QPointF(x0 + 3.2 * u, cy - 2 * u), QPointF(x1 - 1.0 * u, cy - 2 * u));
    p.drawLine(QPointF(x0 + 3.0 * u, cy), QPointF(x0 + 4.2 * u, cy + 2 * u));
    p.drawLine(QPointF(x0 + 4.2 * u, cy + 2 * u), QPointF(x1 - 2.0 * u, cy + 2 * u));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(x0, cy), 0.9 * u, 0.9 * u);
}

// A manila folder.
void Folder(QPainter& p, const QRectF& r) {
    const double u = r.width() / 20.0;
    QPainterPath back;
    back.moveTo(r.left(), r.top() + 2 * u);
    back.lineTo(r.left() + 7 * u, r.top() + 2 * u);
    back.lineTo(r.left() + 9 * u, r.top() + 4 * u);
    back.lineTo(r.right(), r.top() + 4 * u);
    back.lineTo(r.right(), r.bottom());
    back.lineTo(r.left(), r.bottom());
    back.closeSubpath();
    p.setPen(Pen(kInk, 0.9 * u));
    p.setBrush(kFolderDark);
    p.drawPath(back);
    p.setBrush(kPaper);
    p.setPen(Pen(kPaperEdge, 0.6 * u));
    p.drawRect(QRectF(r.left() + 2 * u, r.top() + 5.5 * u, r.width() - 4 * u, r.height() * 0.4));
    QPainterPath front;
    front.moveTo(r.left(), r.top() + r.height() * 0.45);
    front.lineTo(r.right(), r.top() + r.height() * 0.45);
    front.lineTo(r.right() - 1 * u, r.bottom());
    front.lineTo(r.left() + 1 * u, r.bottom());
    front.closeSubpath();
    p.setPen(Pen(kInk, 0.9 * u));
    p.setBrush(kFolder);
    p.drawPath(front);
}

// A sheet of paper with a dog-ear.
void Sheet(QPainter& p, const QRectF& r) {
    const double ear = r.width() * 0.25;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - ear, r.top());
    path.lineTo(r.right(), r.top() + ear);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(Pen(kPaperEdge, r.width() * 0.05));
    p.setBrush(kPaper);
    p.drawPath(path);
    QPainterPath fold;
    fold.moveTo(r.right() - ear, r.top());
    fold.lineTo(r.right() - ear, r.top() + ear);
    fold.lineTo(r.right(), r.top() + ear);
    p.setBrush(QColor(0xE3, 0xE8, 0xEE));
    p.drawPath(fold);
}

void Check(QPainter& p, QPointF at, double size, const QColor& c) {
    p.setPen(Pen(c, size * 0.28));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(at + QPointF(-size * 0.45, 0));
    path.lineTo(at + QPointF(-size * 0.1, size * 0.35));
    path.lineTo(at + QPointF(size * 0.5, -size * 0.4));
    p.drawPath(path);
}

void Badge(QPainter& p, QPointF c, double radius, const QColor& fill) {
    p.setPen(Pen(Qt::white, radius * 0.22));
    p.setBrush(fill);
    p.drawEllipse(c, radius, radius);
}

// Circular arrows of an update or a refresh.
void CircleArrows(QPainter& p, QPointF c, double radius, const QColor& colour) {
    p.setBrush(Qt::NoBrush);
    p.setPen(Pen(colour, radius * 0.32));
    const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(box, 30 * 16, 130 * 16);
    p.drawArc(box, 210 * 16, 130 * 16);
    auto head = [&](double angleDeg) {
        const double a = qDegreesToRadians(angleDeg);
        const QPointF tip(c.x() + radius * std::cos(a), c.y() - radius * std::sin(a));
        const QPointF dir(-std::sin(a), -std::cos(a)); // clockwise tangent
        const QPointF n(std::cos(a), -std::sin(a));
        QPainterPath tri;
        tri.moveTo(tip + dir * radius * 0.55);
        tri.lineTo(tip + n * radius * 0.42);
        tri.lineTo(tip - n * radius * 0.42);
        tri.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPath(tri);
        p.setBrush(Qt::NoBrush);
        p.setPen(Pen(colour, radius * 0.32));
    };
    head(30);
    head(210);
}

// The maker's emblem: a kestrel's wing over a lightning bolt in a shield.
void Emblem(QPainter& p, const QRectF& r) {
    const double u = r.width() / 20.0;
    QPainterPath shield;
    shield.moveTo(r.left() + 10 * u, r.top());
    shield.lineTo(r.right(), r.top() + 3 * u);
    shield.cubicTo(r.right(), r.top() + 14 * u, r.left() + 16 * u, r.bottom() - 3 * u, r.left() + 10 * u,
                   r.bottom());
    shield.cubicTo(r.left() + 4 * u, r.bottom() - 3 * u, r.left(), r.top() + 14 * u, r.left(),
                   r.top() + 3 * u);
    shield.closeSubpath();
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0xE8, 0x5D, 0x1E));
    g.setColorAt(1, QColor(0xB0, 0x2A, 0x12));
    p.setPen(Pen(kInk, 0.8 * u));
    p.setBrush(g);
    p.drawPath(shield);
    QPainterPath bolt;
    bolt.moveTo(r.left() + 11.5 * u, r.top() + 3.5 * u);
    bolt.lineTo(r.left() + 6.2 * u, r.top() + 12.5 * u);
    bolt.lineTo(r.left() + 10 * u, r.top() + 12.5 * u);
    bolt.lineTo(r.left() + 8.2 * u, r.bottom() - 3.5 * u);
    bolt.lineTo(r.left() + 14 * u, r.top() + 10 * u);
    bolt.lineTo(r.left() + 10.2 * u, r.top() + 10 * u);
    bolt.closeSubpath();
    p.setPen(Pen(kInk, 0.5 * u));
    p.setBrush(kYellow);
    p.drawPath(bolt);
}

void Wordmark(QPainter& p, const QRectF& r, double bigPx, double smallPx) {
    QFont big(QStringLiteral("Liberation Sans"));
    big.setBold(true);
    big.setPixelSize(int(bigPx));
    big.setLetterSpacing(QFont::PercentageSpacing, 100);
    p.setFont(big);
    p.setPen(kInk);
    p.drawText(QRectF(r.left(), r.top(), r.width(), r.height() * 0.62), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("VELMOR"));
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(int(smallPx));
    small.setBold(true);
    p.setFont(small);
    p.setPen(QColor(0xB0, 0x2A, 0x12));
    p.drawText(QRectF(r.left() + 1, r.top() + r.height() * 0.64, r.width(), r.height() * 0.36),
               Qt::AlignLeft | Qt::AlignTop, QStringLiteral("740/750ST"));
}

// A nine-pin serial connector seen from the front.
void SerialConnector(QPainter& p, const QRectF& r) {
    const double u = r.width() / 24.0;
    p.setPen(Pen(kInk, 0.9 * u));
    p.setBrush(kMetal);
    p.drawRoundedRect(r, 2 * u, 2 * u);
    QPainterPath shell;
    const QRectF s = r.adjusted(3 * u, 2.5 * u, -3 * u, -2.5 * u);
    shell.moveTo(s.topLeft());
    shell.lineTo(s.topRight());
    shell.lineTo(s.right() - 2 * u, s.bottom());
    shell.lineTo(s.left() + 2 * u, s.bottom());
    shell.closeSubpath();
    p.setBrush(kInk);
    p.drawPath(shell);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF0, 0xD0, 0x60));
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(s.left() + 3 * u + i * (s.width() - 6 * u) / 4, s.top() + s.height() * 0.32),
                      1.0 * u, 1.0 * u);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(
            QPointF(s.left() + 4.3 * u + i * (s.width() - 8.6 * u) / 3, s.top() + s.height() * 0.72), 1.0 * u,
            1.0 * u);
    // The screws.
    p.setBrush(kGrey);
    p.drawEllipse(QPointF(r.left() + 1.6 * u, r.center().y()), 1.1 * u, 1.1 * u);
    p.drawEllipse(QPointF(r.right() - 1.6 * u, r.center().y()), 1.1 * u, 1.1 * u);
}

// A 16-pixel mains plug, grey when unplugged.
void Plug16(QPainter& p, const QColor& body, bool connected) {
    p.setPen(Pen(kInk, 1.0));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 5.5, 7, 6), 1.5, 1.5);
    p.setPen(Pen(kInk, 1.2));
    p.drawLine(QPointF(8.5, 7), QPointF(11, 7));
    p.drawLine(QPointF(8.5, 10), QPointF(11, 10));
    if (connected) {
        p.setBrush(body);
        p.setPen(Pen(kInk, 1.0));
        p.drawRoundedRect(QRectF(11.5, 4.5, 3.5, 8), 1, 1);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources");
    const QString bitmaps = root + QStringLiteral("/bitmaps/");
    const QString icons = root + QStringLiteral("/icons/");
    QDir().mkpath(bitmaps);
    QDir().mkpath(icons);
    bool ok = true;
    auto icon48 = [&](const char* name, const Draw& draw) {
        ok = Save(bitmaps + QLatin1String(name) + QStringLiteral(".png"), 48, 48, 48, 48, draw) && ok;
    };
    const QRectF dbSmall(30, 28, 15, 17);

    icon48("IDB_IMPORT", [&](QPainter& p) {
        Tester(p, QRectF(3, 3, 22, 40));
        Database(p, dbSmall);
        Arrow(p, QPointF(24, 16), QPointF(41, 16), kBlue, 6);
    });
    icon48("IDB_IMPORT_USB", [&](QPainter& p) {
        p.save();
        p.translate(14, 17);
        p.rotate(-90);
        UsbStick(p, QRectF(-14, -7, 28, 14));
        p.restore();
        Database(p, dbSmall);
        Arrow(p, QPointF(22, 14), QPointF(41, 14), kBlue, 6);
    });
    icon48("IDB_IMPORT_FOLDER", [&](QPainter& p) {
        Folder(p, QRectF(1, 5, 24, 21));
        Database(p, dbSmall);
        Arrow(p, QPointF(22, 16), QPointF(41, 16), kBlue, 6);
    });
    icon48("IDB_EXPORT_USB", [&](QPainter& p) {
        Database(p, QRectF(3, 4, 16, 19));
        p.save();
        p.translate(37, 31);
        p.rotate(-90);
        UsbStick(p, QRectF(-14, -7, 28, 14));
        p.restore();
        Arrow(p, QPointF(8, 32), QPointF(27, 32), kGreen, 6);
    });
    icon48("IDB_EXPORT_FOLDER", [&](QPainter& p) {
        Database(p, QRectF(3, 3, 16, 19));
        Folder(p, QRectF(20, 22, 26, 22));
        Arrow(p, QPointF(16, 17), QPointF(33, 17), kGreen, 6);
    });
    icon48("IDB_TYPKAT", [&](QPainter& p) {
        // A clipboard with the steps of a test specification, each ticked.
        p.setPen(Pen(kInk, 1.4));
        p.setBrush(QColor(0xA8, 0x74, 0x3C));
        p.drawRoundedRect(QRectF(7, 4, 34, 41), 3, 3);
        p.setBrush(kPaper);
        p.setPen(Pen(kPaperEdge, 1));
        p.drawRect(QRectF(10.5, 9.5, 27, 32));
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(kMetal);
        p.drawRoundedRect(QRectF(16, 2, 16, 7), 2, 2);
        for (int i = 0; i < 3; ++i) {
            const double y = 17 + i * 8.5;
            Check(p, QPointF(15.5, y), 5.5, kGreen);
            p.setPen(Pen(kGrey, 2));
            p.drawLine(QPointF(21, y), QPointF(34, y));
        }
    });
    icon48("IDB_GEKAT", [&](QPainter& p) {
        // A protocol sheet of a tested device: a plug, measured lines and a passed seal.
        Sheet(p, QRectF(7, 3, 30, 40));
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(kInk);
        p.drawRoundedRect(QRectF(11, 8, 8, 7), 1.5, 1.5);
        p.drawLine(QPointF(13, 8), QPointF(13, 5.5));
        p.drawLine(QPointF(17, 8), QPointF(17, 5.5));
        p.setPen(Pen(kGrey, 2));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(11, 21 + i * 5), QPointF(i % 2 ? 26 : 32, 21 + i * 5));
        Badge(p, QPointF(36, 36), 9, kGreen);
        Check(p, QPointF(36, 36.5), 8, Qt::white);
    });
    icon48("IDB_UPDATE", [&](QPainter& p) {
        Tester(p, QRectF(4, 3, 24, 41));
        Badge(p, QPointF(35, 33), 11, kGreen);
        CircleArrows(p, QPointF(35, 33), 6, Qt::white);
    });
    icon48("IDB_PRINTHEADER", [&](QPainter& p) {
        // A printer whose page carries the header band with a logo.
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(kPaper);
        p.drawRect(QRectF(12, 3, 24, 18));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(13, 4, 22, 6));
        p.setBrush(kRed);
        p.drawRect(QRectF(14.5, 5, 4, 4));
        p.setPen(Pen(QColor(0x5D, 0x64, 0x6E), 1.2));
        p.setBrush(QColor(0x9A, 0xA2, 0xAD));
        p.drawRoundedRect(QRectF(3, 17, 42, 18), 3, 3);
        p.setBrush(QColor(0x6B, 0x73, 0x7E));
        p.drawRect(QRectF(9, 30, 30, 4));
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(kPaper);
        p.drawRect(QRectF(12, 32, 24, 13));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(13, 33, 22, 4));
        p.setBrush(kRed);
        p.drawRect(QRectF(14.5, 33.7, 2.8, 2.6));
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(40, 22), 1.6, 1.6);
    });
    icon48("IDB_RS232TEST", [&](QPainter& p) {
        SerialConnector(p, QRectF(2, 6, 30, 19));
        p.setPen(Pen(kInk, 3));
        p.setBrush(Qt::NoBrush);
        QPainterPath cable;
        cable.moveTo(17, 25);
        cable.cubicTo(17, 36, 6, 34, 8, 44);
        p.drawPath(cable);
        Badge(p, QPointF(36, 35), 10, kGreen);
        // A pulse on the line.
        p.setPen(Pen(Qt::white, 2));
        QPainterPath pulse;
        pulse.moveTo(29.5, 36);
        pulse.lineTo(32, 36);
        pulse.lineTo(33.5, 31);
        pulse.lineTo(36, 40);
        pulse.lineTo(38.5, 33);
        pulse.lineTo(40, 36);
        pulse.lineTo(42.5, 36);
        p.drawPath(pulse);
    });
    ok = Save(bitmaps + QStringLiteral("IDB_ERROR.png"), 32, 32, 32, 32,
              [&](QPainter& p) {
                  Badge(p, QPointF(16, 16), 14, kRed);
                  p.setPen(Pen(Qt::white, 4));
                  p.drawLine(QPointF(10.5, 10.5), QPointF(21.5, 21.5));
                  p.drawLine(QPointF(21.5, 10.5), QPointF(10.5, 21.5));
              }) &&
         ok;
    ok = Save(bitmaps + QStringLiteral("IDB_ERROR_LOGO.png"), 360, 120, 360, 120,
              [&](QPainter& p) {
                  // The place of a logo that could not be loaded: a crossed-out picture.
                  QPen dash(kGrey, 3, Qt::DashLine);
                  p.setPen(dash);
                  p.setBrush(QColor(0xF3, 0xF5, 0xF7));
                  p.drawRect(QRectF(3, 3, 354, 114));
                  const QRectF pic(130, 22, 100, 76);
                  p.setPen(Pen(kPaperEdge, 3));
                  p.setBrush(kPaper);
                  p.drawRect(pic);
                  p.setPen(Qt::NoPen);
                  p.setBrush(QColor(0xA9, 0xB4, 0xC2));
                  QPainterPath hills;
                  hills.moveTo(pic.left() + 4, pic.bottom() - 4);
                  hills.lineTo(pic.left() + 34, pic.top() + 34);
                  hills.lineTo(pic.left() + 56, pic.top() + 56);
                  hills.lineTo(pic.left() + 70, pic.top() + 44);
                  hills.lineTo(pic.right() - 4, pic.bottom() - 4);
                  hills.closeSubpath();
                  p.drawPath(hills);
                  p.setBrush(QColor(0xF2, 0xC0, 0x4C));
                  p.drawEllipse(QPointF(pic.right() - 22, pic.top() + 20), 9, 9);
                  p.setPen(Pen(kRed, 8));
                  p.drawLine(pic.topLeft() + QPointF(-10, -8), pic.bottomRight() + QPointF(10, 8));
              }) &&
         ok;
    ok = Save(bitmaps + QStringLiteral("IDB_KESTRA.png"), 104, 60, 104, 60,
              [&](QPainter& p) {
                  Emblem(p, QRectF(2, 6, 28, 48));
                  Wordmark(p, QRectF(34, 10, 70, 40), 16, 11);
              }) &&
         ok;
    ok = Save(bitmaps + QStringLiteral("IDB_KESTRA_BIG.png"), 270, 90, 270, 90,
              [&](QPainter& p) {
                  Emblem(p, QRectF(6, 6, 48, 78));
                  Wordmark(p, QRectF(64, 12, 206, 66), 46, 24);
              }) &&
         ok;

    auto icon16 = [&](int number, const Draw& draw) {
        ok = Save(icons + QStringLiteral("status_%1.png").arg(number), 16, 16, 16, 16, draw) && ok;
    };
    icon16(168, [&](QPainter& p) { // connecting
        Plug16(p, kAmber, false);
        p.setPen(Qt::NoPen);
        p.setBrush(kAmber.darker(130));
        p.drawEllipse(QPointF(12.5, 4), 1.3, 1.3);
        p.drawEllipse(QPointF(12.5, 8.5), 1.3, 1.3);
        p.drawEllipse(QPointF(12.5, 13), 1.3, 1.3);
    });
    icon16(169, [&](QPainter& p) { Plug16(p, kMetal, false); }); // port closed
    icon16(170, [&](QPainter& p) { Plug16(p, kGreen, true); });  // connected
    icon16(171, [&](QPainter& p) {                               // failed
        Plug16(p, kMetal, false);
        p.setPen(Pen(kRed, 2));
        p.drawLine(QPointF(10.5, 2.5), QPointF(14.5, 6.5));
        p.drawLine(QPointF(14.5, 2.5), QPointF(10.5, 6.5));
    });
    icon16(178, [&](QPainter& p) { // busy: an hourglass
        p.setPen(Pen(kInk, 1.2));
        p.drawLine(QPointF(3.5, 1.5), QPointF(12.5, 1.5));
        p.drawLine(QPointF(3.5, 14.5), QPointF(12.5, 14.5));
        QPainterPath glass;
        glass.moveTo(4.5, 2);
        glass.lineTo(11.5, 2);
        glass.lineTo(8.8, 8);
        glass.lineTo(11.5, 14);
        glass.lineTo(4.5, 14);
        glass.lineTo(7.2, 8);
        glass.closeSubpath();
        p.setBrush(QColor(0xE8, 0xF1, 0xFB));
        p.drawPath(glass);
        p.setPen(Qt::NoPen);
        p.setBrush(kAmber);
        QPainterPath sand;
        sand.moveTo(6, 4);
        sand.lineTo(10, 4);
        sand.lineTo(8, 7.5);
        sand.closeSubpath();
        sand.moveTo(8, 10);
        sand.lineTo(10.8, 13.5);
        sand.lineTo(5.2, 13.5);
        sand.closeSubpath();
        p.drawPath(sand);
    });
    icon16(179, [&](QPainter& p) { // idle: ready
        p.setPen(Pen(kGreenDark, 1));
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
        p.setPen(Pen(Qt::white, 1.6));
        p.drawLine(QPointF(5.6, 8.2), QPointF(7.4, 10));
        p.drawLine(QPointF(7.4, 10), QPointF(10.6, 6.2));
    });

    auto tool = [&](const char* name, const Draw& draw) {
        ok = Save(icons + QStringLiteral("tool_%1.png").arg(QLatin1String(name)), 24, 24, 24, 24, draw) && ok;
    };
    tool("back", [&](QPainter& p) { Arrow(p, QPointF(20.5, 12), QPointF(3, 12), kBlue, 6); });
    tool("filter", [&](QPainter& p) {
        QPainterPath funnel;
        funnel.moveTo(2.5, 3.5);
        funnel.lineTo(21.5, 3.5);
        funnel.lineTo(14, 12.5);
        funnel.lineTo(14, 20.5);
        funnel.lineTo(10, 22);
        funnel.lineTo(10, 12.5);
        funnel.closeSubpath();
        p.setPen(Pen(kInk, 1.4));
        p.setBrush(kAmber);
        p.drawPath(funnel);
    });
    tool("action", [&](QPainter& p) {
        // A context menu with a pointer.
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(kPaper);
        p.drawRect(QRectF(6.5, 2.5, 15, 18));
        p.setPen(Pen(kGrey, 2));
        for (int i = 0; i < 4; ++i)
            p.drawLine(QPointF(9.5, 6.5 + i * 4), QPointF(18.5, 6.5 + i * 4));
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawRect(QRectF(7.5, 8.5, 13, 4));
        QPainterPath arrow;
        arrow.moveTo(2, 9);
        arrow.lineTo(2, 22);
        arrow.lineTo(5.2, 19);
        arrow.lineTo(7.5, 23.5);
        arrow.lineTo(9.5, 22.5);
        arrow.lineTo(7.3, 18);
        arrow.lineTo(11.5, 18);
        arrow.closeSubpath();
        p.setPen(Pen(kInk, 1));
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    });

    for (int size : {16, 32, 48, 256}) {
        ok = Save(icons + QStringLiteral("app_%1.png").arg(size), size, size, 48, 48,
                  [&](QPainter& p) {
                      if (size <= 16) {
                          Tester(p, QRectF(9, 2, 30, 44));
                          return;
                      }
                      Tester(p, QRectF(6, 2, 28, 44));
                      Emblem(p, QRectF(27, 22, 18, 25));
                  }) &&
             ok;
    }
    return ok ? 0 : 1;
}

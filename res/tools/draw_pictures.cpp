// SPDX-License-Identifier: GPL-3.0-or-later
// kestavo-draw-pictures: draws every picture of Kestavo with QPainter and
// writes them as PNG files.
//
//   kestavo-draw-pictures DIR             writes all pictures into DIR
//   kestavo-draw-pictures DIR --sheet F   also writes a contact sheet F that
//                                         shows every picture enlarged on a
//                                         light and on a dark background
//
// Every picture is drawn in a coordinate system of 1x pixels. At 1x all
// straight edges lie on pixel boundaries so they come out crisp; at 2x the
// painter is scaled by 2, outlines stay one device pixel wide and some
// pictures add detail that would be mud at 1x. Shapes get a dark outline so
// they read on light and on dark backgrounds.

#include <QColor>
#include <QConicalGradient>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QRadialGradient>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// ---------------------------------------------------------------- palette

const QColor kInk(0x26, 0x2b, 0x33);  // outline of drives, tools and marks

const QColor kFolderLine(0x6e, 0x4a, 0x06);
const QColor kFolderBack(0xde, 0xa0, 0x26);
const QColor kFolderFrontTop(0xff, 0xdf, 0x7e);
const QColor kFolderFrontBottom(0xf3, 0xb8, 0x34);
const QColor kFolderShine(0xff, 0xf3, 0xc8);

const QColor kPaperLine(0x4a, 0x52, 0x5e);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kPaperShade(0xe9, 0xed, 0xf2);
const QColor kPaperFold(0xcf, 0xd6, 0xdf);
const QColor kPaperText(0x98, 0xa3, 0xb1);

const QColor kMetalLight(0xf1, 0xf3, 0xf6);
const QColor kMetal(0xc7, 0xcd, 0xd5);
const QColor kMetalDark(0x8f, 0x99, 0xa6);
const QColor kLed(0x3d, 0xdc, 0x6c);
const QColor kLedDark(0x15, 0x80, 0x3a);

const QColor kBlueLine(0x12, 0x2d, 0x5e);
const QColor kBlueLight(0x4f, 0x8e, 0xe6);
const QColor kBlue(0x2a, 0x62, 0xc4);
const QColor kBlueDark(0x1c, 0x48, 0x9a);

const QColor kGreen(0x2f, 0xb0, 0x4e);
const QColor kGreenLine(0x11, 0x52, 0x26);
const QColor kRed(0xe2, 0x3b, 0x33);
const QColor kRedLine(0x74, 0x14, 0x10);
const QColor kGold(0xff, 0xd0, 0x2e);
const QColor kGoldLine(0x97, 0x55, 0x00);
const QColor kOrange(0xf5, 0x8a, 0x1f);
const QColor kOrangeLine(0x84, 0x3c, 0x05);

// ---------------------------------------------------------------- canvas

// A transparent image of w x h pixels at 1x, painted through a painter that
// is scaled by the picture's scale factor.
class Canvas {
public:
    Canvas(int w, int h, int scale)
        : image_(w * scale, h * scale, QImage::Format_ARGB32_Premultiplied), s(scale) {
        image_.fill(Qt::transparent);
        p.begin(&image_);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.scale(scale, scale);
        p.setPen(Qt::NoPen);
    }
    ~Canvas() {
        if (p.isActive()) p.end();
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    QImage take() {
        p.end();
        return image_.convertToFormat(QImage::Format_ARGB32);
    }

    // One device pixel, in 1x units.
    double px() const { return 1.0 / s; }

    // Fills path with fill and gives it an outline of width device pixels
    // that lies inside the path, so straight edges on the grid stay crisp.
    void shape(const QPainterPath& path, const QBrush& fill, const QColor& line,
               double width = 1.0) {
        p.fillPath(path, line);
        QPainterPathStroker stroker;
        stroker.setWidth(2.0 * width * px());
        stroker.setJoinStyle(Qt::MiterJoin);
        stroker.setMiterLimit(6);
        p.fillPath(path.subtracted(stroker.createStroke(path)), fill);
    }

    void rect(double x, double y, double w, double h, const QBrush& fill, const QColor& line,
              double radius = 0) {
        QPainterPath path;
        if (radius > 0)
            path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
        else
            path.addRect(QRectF(x, y, w, h));
        shape(path, fill, line);
    }

    void fill(double x, double y, double w, double h, const QBrush& brush) {
        p.fillRect(QRectF(x, y, w, h), brush);
    }

    // Strokes path with a pen of width units; with outline > 0 a darker pen
    // of width + 2 * outline device pixels goes underneath.
    void stroke(const QPainterPath& path, const QColor& color, double width,
                const QColor& line = QColor(), double outline = 0,
                Qt::PenCapStyle cap = Qt::RoundCap) {
        p.setBrush(Qt::NoBrush);
        if (outline > 0) {
            p.setPen(QPen(line, width + 2 * outline * px(), Qt::SolidLine, cap, Qt::RoundJoin));
            p.drawPath(path);
        }
        p.setPen(QPen(color, width, Qt::SolidLine, cap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(Qt::NoPen);
    }

    // Clears a region back to transparent.
    void clear(const QPainterPath& path) {
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillPath(path, Qt::black);
        p.restore();
    }

    QPainter p;

private:
    QImage image_;

public:
    const int s;
};

QLinearGradient vertical(double y0, double y1, const QColor& top, const QColor& bottom) {
    QLinearGradient g(0, y0, 0, y1);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

QPainterPath polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& pt : points) {
        if (first)
            path.moveTo(pt);
        else
            path.lineTo(pt);
        first = false;
    }
    path.closeSubpath();
    return path;
}

// A four-pointed star with its centre at (cx, cy).
QPainterPath star(double cx, double cy, double r, double waist) {
    QPainterPath path;
    const double w = r * waist;
    path.moveTo(cx, cy - r);
    path.quadTo(cx + w * 0.3, cy - w * 0.3, cx + r, cy);
    path.quadTo(cx + w * 0.3, cy + w * 0.3, cx, cy + r);
    path.quadTo(cx - w * 0.3, cy + w * 0.3, cx - r, cy);
    path.quadTo(cx - w * 0.3, cy - w * 0.3, cx, cy - r);
    path.closeSubpath();
    return path;
}

void sparkle(Canvas& c, double cx, double cy, double r) {
    c.shape(star(cx, cy, r, 0.6), QBrush(kGold), kGoldLine);
}

// Sets single pixels from a small map; used where a 1x picture is too small
// for vector shapes to stay sharp. Characters: o gold outline, y gold,
// w pale centre, B dark blue, b blue, p pale blue; anything else stays
// untouched.
void pixels(Canvas& c, int x, int y, std::initializer_list<const char*> rows) {
    int row = 0;
    for (const char* line : rows) {
        for (int col = 0; line[col]; ++col) {
            QColor color;
            switch (line[col]) {
                case 'o':
                    color = kGoldLine;
                    break;
                case 'y':
                    color = kGold;
                    break;
                case 'w':
                    color = QColor(0xff, 0xf6, 0xc4);
                    break;
                case 'B':
                    color = kBlueLine;
                    break;
                case 'b':
                    color = QColor(0x12, 0x66, 0xd6);
                    break;
                case 'p':
                    color = QColor(0xf4, 0xf9, 0xff);
                    break;
                default:
                    continue;
            }
            c.fill(x + col, y + row, 1, 1, color);
        }
        ++row;
    }
}

// A spark: pixel-drawn at 1x, a vector star at 2x. (x, y) is the top left
// of the 9 x 9 (big) or 7 x 7 (small) or 3 x 3 (tiny) box.
enum class Spark { Big, Small, Tiny };

void spark(Canvas& c, int x, int y, Spark size) {
    if (c.s == 1) {
        switch (size) {
            case Spark::Big:
                pixels(c, x, y,
                       {"....o....", "....y....", "...oyo...", "..oyyyo..", "oyyywyyyo",
                        "..oyyyo..", "...oyo...", "....y....", "....o...."});
                break;
            case Spark::Small:
                pixels(
                    c, x, y,
                    {"...o...", "...y...", "..oyo..", "oyywyyo", "..oyo..", "...y...", "...o..."});
                break;
            case Spark::Tiny:
                pixels(c, x, y, {".o.", "oyo", ".o."});
                break;
        }
        return;
    }
    switch (size) {
        case Spark::Big:
            sparkle(c, x + 4.5, y + 4.5, 4.5);
            break;
        case Spark::Small:
            sparkle(c, x + 3.5, y + 3.5, 3.5);
            break;
        case Spark::Tiny:
            sparkle(c, x + 1.5, y + 1.5, 1.75);
            break;
    }
}

// ---------------------------------------------------------------- drives

enum class DriveLook { Fixed, Removable };

// A drive seen from the front: a box with a lighter top face, a dark slot
// for removable media and a green activity light.
void drive(Canvas& c, double x, double y, double w, double h, DriveLook look) {
    const bool hi = c.s > 1;  // 2x: room for finer detail
    const double r = hi ? 1.25 : 1.0;
    QPainterPath body;
    body.addRoundedRect(QRectF(x, y, w, h), r, r);
    const bool fixed = look == DriveLook::Fixed;
    const QColor top = fixed ? QColor(0xe4, 0xe7, 0xec) : kMetalLight;
    const QColor front = fixed ? QColor(0xb3, 0xba, 0xc4) : QColor(0xd6, 0xdb, 0xe2);
    const QColor bottom = fixed ? QColor(0x8b, 0x95, 0xa2) : QColor(0xa9, 0xb2, 0xbe);
    QLinearGradient g(0, y, 0, y + h);
    g.setColorAt(0, top);
    g.setColorAt(0.38, top);
    g.setColorAt(0.40, front);
    g.setColorAt(1, bottom);
    c.shape(body, g, kInk);

    // Edge between the top face and the front face, with a highlight at 2x.
    const double split = std::round(y + h * 0.38);
    c.fill(x + c.px(), split, w - 2 * c.px(), c.px(), QColor(0x7d, 0x87, 0x94));
    if (hi) c.fill(x + c.px(), split + c.px(), w - 2 * c.px(), c.px(), QColor(255, 255, 255, 120));

    // The light sits at the right, centred on the front face.
    const double frontH = y + h - split;  // includes the bottom outline
    const double ledW = hi ? 2.5 : 2;
    const double ledH = hi ? 1.5 : 1;
    const double ledX = x + w - 2 - ledW + (hi ? 0.5 : 0);
    const double ledY = std::round(split + frontH / 2 - ledH / 2 - (hi ? 0.5 : 0));
    const QColor vent(0x5f, 0x69, 0x76);
    if (!fixed) {
        // Slot: a dark line with a light lip underneath.
        const double slotW = w - 4 - ledW - 1.5;
        c.fill(x + 2, ledY, slotW, 1, kInk);
        c.fill(x + 2, ledY + 1, slotW, c.px(), QColor(255, 255, 255, 200));
    } else if (hi) {
        // Vent slits on the fixed drive's face.
        for (int i = 0; i < 4; ++i) c.fill(x + 2 + i, ledY - 0.25, 0.5, 2.0, vent);
    } else {
        c.fill(x + 2, ledY, 1, 1, vent);
        c.fill(x + 4, ledY, 1, 1, vent);
    }
    c.fill(ledX, ledY, ledW, ledH, kLedDark);
    if (hi)
        c.fill(ledX + 0.5, ledY + 0.5, ledW - 1, ledH - 1, kLed);
    else
        c.fill(ledX, ledY, ledW - 1, ledH, kLed);
}

// A 3.5 inch diskette filling the rectangle: blue shell, metal shutter at the
// top and a white label at the bottom.
void diskette(Canvas& c, double x, double y, double w, double h) {
    const double cut = c.s == 1 ? 2 : 2.5;
    QPainterPath shell =
        polygon({{x, y}, {x + w - cut, y}, {x + w, y + cut}, {x + w, y + h}, {x, y + h}});
    c.shape(shell, vertical(y, y + h, kBlueLight, kBlueDark), kBlueLine);
    // Shutter.
    const double sw = std::round(w * 0.55);
    const double sx = x + std::round((w - sw) / 2) + (c.s == 1 ? 0 : 0.5);
    const double sh = std::round(h * 0.40);
    c.rect(sx, y, sw, sh, vertical(y, y + sh, kMetalLight, kMetalDark), kBlueLine);
    c.fill(sx + sw - (c.s == 1 ? 3 : 3.5), y + (c.s == 1 ? 1 : 1.5), c.s == 1 ? 1 : 1.5,
           sh - (c.s == 1 ? 2 : 3.0), kBlueLine);
    // Label.
    const double lx = x + 2;
    const double ly = std::round(y + h * 0.52);
    const double lw = w - 4;
    const double lh = y + h - ly - (c.s == 1 ? 1 : 0.5);
    c.rect(lx, ly, lw, lh, vertical(ly, ly + lh, kPaper, kPaperShade), kBlueLine);
    if (c.s == 1) {
        c.fill(lx + 2, ly + 2, lw - 4, 1, kPaperText);
        if (lh >= 6) c.fill(lx + 2, ly + 4, lw - 5, 1, kPaperText);
    } else {
        for (double ty = ly + 1.5, n = 0; ty + 1 <= ly + lh - 0.5; ty += 1.5, ++n)
            c.fill(lx + 1.5, ty, lw - 3 - (int(n) % 2) * 1.5, 0.5, kPaperText);
    }
}

// A compact disc centred at (cx, cy).
void disc(Canvas& c, double cx, double cy, double r) {
    QPainterPath outer;
    outer.addEllipse(QPointF(cx, cy), r, r);
    QConicalGradient g(cx, cy, 30);
    g.setColorAt(0.00, QColor(0xe9, 0xed, 0xf2));
    g.setColorAt(0.10, QColor(0xbf, 0xe3, 0xff));
    g.setColorAt(0.18, QColor(0xff, 0xff, 0xff));
    g.setColorAt(0.30, QColor(0xc4, 0xcb, 0xd4));
    g.setColorAt(0.50, QColor(0xf0, 0xf2, 0xf5));
    g.setColorAt(0.60, QColor(0xff, 0xdc, 0xf2));
    g.setColorAt(0.68, QColor(0xff, 0xff, 0xff));
    g.setColorAt(0.80, QColor(0xc4, 0xcb, 0xd4));
    g.setColorAt(1.00, QColor(0xe9, 0xed, 0xf2));
    c.shape(outer, g, kPaperLine);
    const double hub = r * 0.36;
    QPainterPath ring;
    ring.addEllipse(QPointF(cx, cy), hub, hub);
    c.shape(ring, QColor(0xdc, 0xe1, 0xe8), QColor(0x8a, 0x94, 0xa1));
    if (c.s == 1) {
        // At 1x the spindle hole is one clear pixel in a dark 3 x 3 ring.
        QPainterPath hole;
        hole.addEllipse(QPointF(cx, cy), 1.5, 1.5);
        c.p.fillPath(hole, QColor(0x6b, 0x74, 0x80));
        QPainterPath centre;
        centre.addRect(QRectF(cx - 0.5, cy - 0.5, 1, 1));
        c.clear(centre);
        return;
    }
    QPainterPath hole;
    const double holeR = r * 0.16;
    hole.addEllipse(QPointF(cx, cy), holeR, holeR);
    c.shape(hole, QColor(0x6b, 0x74, 0x80), kPaperLine);
    QPainterPath inner;
    inner.addEllipse(QPointF(cx, cy), holeR - c.px(), holeR - c.px());
    c.clear(inner);
}

// ---------------------------------------------------------------- folders

// The back of a folder with its tab; its right edge at x + w.
void folderBack(Canvas& c, double x, double y, double w, double h) {
    QPainterPath back = polygon({{x, y + 1},
                                 {x + 1, y},
                                 {x + 5, y},
                                 {x + 7, y + 2},
                                 {x + w, y + 2},
                                 {x + w, y + h},
                                 {x, y + h}});
    c.shape(back, vertical(y, y + h, QColor(0xee, 0xb5, 0x3c), kFolderBack), kFolderLine);
}

// A zipper running down from (cx, y0) to (cx, y1), with its pull at the top.
void zipper(Canvas& c, double cx, double y0, double y1) {
    const QColor teeth(0x4a, 0x3a, 0x1c);
    const QColor gap(0xb0, 0x92, 0x4a);
    if (c.s == 1) {
        for (double y = y0; y < y1; y += 1) {
            const bool even = int(y) % 2 == 0;
            c.fill(cx - 1, y, 1, 1, even ? teeth : gap);
            c.fill(cx, y, 1, 1, even ? gap : teeth);
        }
        // Pull tab.
        c.rect(cx - 2, y0 + 1, 4, 3, vertical(y0 + 1, y0 + 4, kMetalLight, kMetal), kInk);
    } else {
        for (double y = y0; y < y1; y += 0.5) {
            const bool even = int(y * 2) % 2 == 0;
            c.fill(cx - 1, y, 1, 0.5, even ? teeth : gap);
            c.fill(cx, y, 1, 0.5, even ? gap : teeth);
        }
        c.fill(cx - 0.5 + 0.25, y0, 0.5, y1 - y0, QColor(0x6b, 0x55, 0x28));
        QPainterPath pull;
        pull.addRoundedRect(QRectF(cx - 1.5, y0 + 1, 3, 4), 0.75, 0.75);
        c.shape(pull, vertical(y0 + 1, y0 + 5, kMetalLight, kMetalDark), kInk);
        c.fill(cx - 0.5, y0 + 2, 1, 2, kInk);
    }
}

// A closed folder in the rectangle (x, y, w, h), optionally with a zipper.
void closedFolder(Canvas& c, double x, double y, double w, double h, bool zip) {
    folderBack(c, x, y, w, h);
    // Front panel: lighter, fills the body below the tab with a shine on top.
    const double fy = y + 4;
    const double d = c.px();
    c.fill(x + d, fy, w - 2 * d, y + h - fy - d,
           vertical(fy, y + h, kFolderFrontTop, kFolderFrontBottom));
    c.fill(x + d, fy - d, w - 2 * d, d, kFolderLine.lighter(150));
    c.fill(x + d, fy, w - 2 * d, d, kFolderShine);
    if (zip) zipper(c, x + std::round(w / 2), y + 2 + d, y + h - d);
}

// An open folder: the back with a sheet of paper, the front tilted forward.
void openFolder(Canvas& c, double x, double y, double w, double h, bool zip) {
    folderBack(c, x, y, w - 2, h);
    // Paper sticking out of the folder.
    c.rect(x + 2, y + 2 + (c.s == 1 ? 1 : 0.5), w - 6, 5, QColor(0xff, 0xff, 0xff), kPaperLine);
    const double fy = y + 5;
    QPainterPath front = polygon({{x + 3, fy}, {x + w, fy}, {x + w - 3, y + h}, {x, y + h}});
    c.shape(front, vertical(fy, y + h, kFolderFrontTop, kFolderFrontBottom), kFolderLine);
    c.fill(x + 3 + c.px(), fy + c.px(), w - 3 - 2 * c.px() - 0.2, c.px(), kFolderShine);
    if (zip) zipper(c, x + std::round(w / 2), fy + c.px(), y + h - c.px());
}

// ---------------------------------------------------------------- documents

// A sheet of paper with a folded corner and lines of text.
void document(Canvas& c, double x, double y, double w, double h, int lines) {
    const double fold = c.s == 1 ? 4 : 4.5;
    QPainterPath sheet =
        polygon({{x, y}, {x + w - fold, y}, {x + w, y + fold}, {x + w, y + h}, {x, y + h}});
    c.shape(sheet, vertical(y, y + h, kPaper, kPaperShade), kPaperLine);
    QPainterPath corner = polygon({{x + w - fold, y}, {x + w - fold, y + fold}, {x + w, y + fold}});
    c.shape(corner, QColor(0xe4, 0xe9, 0xef), kPaperLine);
    if (c.s == 1) {
        for (int i = 0; i < lines; ++i) {
            const double ly = y + 5 + 2 * i;
            if (ly >= y + h - 1) break;
            c.fill(x + 2, ly, w - 4 - (i % 3 == 2 ? 2 : 0), 1, kPaperText);
        }
    } else {
        for (int i = 0; i < lines * 2 - 1; ++i) {
            const double ly = y + 4.5 + 1.5 * i;
            if (ly >= y + h - 1.5) break;
            c.fill(x + 2, ly, w - 4 - (i % 3 == 2 ? 2.5 : 0) - (i % 4 == 1 ? 1 : 0), 0.5,
                   kPaperText);
        }
    }
}

// Two arrows chasing each other round a circle at (cx, cy) on a pale blue
// badge: the "modified" mark.
void circlingArrows(Canvas& c, double cx, double cy) {
    if (c.s == 1) {
        // 9 x 9 badge centred on (cx, cy).
        pixels(c, int(cx - 4.5), int(cy - 4.5),
               {"..ppppp..", ".pbbbbpp.", "pbppppbpp", "pbpppbbbp", "ppppppppp", "pbbbpppbp",
                "ppbppppbp", ".ppbbbbp.", "..ppppp.."});
        return;
    }
    const QColor blue(0x12, 0x66, 0xd6);
    const double badgeR = 4.5;
    const double r = 2.5;
    const double pen = 1.0;
    QPainterPath base;
    base.addEllipse(QPointF(cx, cy), badgeR, badgeR);
    c.shape(base, QColor(0xf4, 0xf9, 0xff), kBlueLine);
    for (int k = 0; k < 2; ++k) {
        const double start = k * 180 + 190;  // degrees, counter-clockwise from 3 o'clock
        const double span = -115;
        QRectF box(cx - r, cy - r, 2 * r, 2 * r);
        QPainterPath arc;
        arc.arcMoveTo(box, start);
        arc.arcTo(box, start, span);
        c.stroke(arc, blue, pen, QColor(), 0, Qt::FlatCap);
        // Arrow head at the end of the arc, pointing along the circle.
        const double a = (start + span) * M_PI / 180.0;
        const QPointF tip(cx + r * std::cos(a), cy - r * std::sin(a));
        const QPointF along(std::sin(a), std::cos(a));  // clockwise tangent (y down)
        const QPointF out(std::cos(a), -std::sin(a));   // away from the centre
        const double len = 2.0;
        const double half = 1.5;
        QPainterPath head = polygon({tip + along * len, tip + out * half, tip - out * half});
        c.p.fillPath(head, blue);
    }
}

// ---------------------------------------------------------------- marks

void checkMark(Canvas& c, double x, double y) {
    QPainterPath tick;
    tick.moveTo(x + 2.5, y + 8.5);
    tick.lineTo(x + 6, y + 12);
    tick.lineTo(x + 12.5, y + 3.5);
    c.stroke(tick, kGreen, c.s == 1 ? 2.6 : 2.8, kGreenLine, 1.0, Qt::RoundCap);
    if (c.s > 1) {
        QPainterPath shine;
        shine.moveTo(x + 2.9, y + 8.3);
        shine.lineTo(x + 5.9, y + 11.2);
        shine.lineTo(x + 12.2, y + 3.2);
        c.stroke(shine, QColor(255, 255, 255, 90), 0.6, QColor(), 0);
    }
}

void crossMark(Canvas& c, double x, double y) {
    QPainterPath cross;
    cross.moveTo(x + 3.5, y + 3.5);
    cross.lineTo(x + 11.5, y + 11.5);
    cross.moveTo(x + 11.5, y + 3.5);
    cross.lineTo(x + 3.5, y + 11.5);
    const double w = c.s == 1 ? 2.6 : 2.8;
    // Outline both strokes first so the crossing has no dark seam.
    c.p.setBrush(Qt::NoBrush);
    c.p.setPen(QPen(kRedLine, w + 2 * c.px(), Qt::SolidLine, Qt::RoundCap));
    c.p.drawPath(cross);
    c.p.setPen(QPen(kRed, w, Qt::SolidLine, Qt::RoundCap));
    c.p.drawPath(cross);
    c.p.setPen(Qt::NoPen);
}

// A magic wand with a white tip and sparkles: the "new" mark.
void wand(Canvas& c) {
    const QPointF a(2.0, 14.0), b(10.0, 6.0);
    QPainterPath stick;
    stick.moveTo(a);
    stick.lineTo(b);
    const double w = 2.2;
    c.stroke(stick, QColor(0x6a, 0x4f, 0xc0), w, QColor(0x24, 0x16, 0x52), 1.0, Qt::FlatCap);
    QPainterPath tip;
    const QPointF dir = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
    tip.moveTo(b - dir * 2.6);
    tip.lineTo(b);
    c.stroke(tip, QColor(0xff, 0xff, 0xff), w, QColor(), 0, Qt::FlatCap);
    spark(c, 8, 0, Spark::Small);
    spark(c, 3, 2, Spark::Tiny);
    spark(c, 12, 8, Spark::Tiny);
}

// ---------------------------------------------------------------- strip

// Pictures of the image strip, 15 x 16 at 1x, indexed as in the tree.
void stripPicture(Canvas& c, int index) {
    switch (index) {
        case 0:  // fixed disk drive
            drive(c, 0, 4, 15, 9, DriveLook::Fixed);
            break;
        case 1:  // closed folder
            closedFolder(c, 0, 2, 15, 12, false);
            break;
        case 2:  // Zip Folder
            closedFolder(c, 0, 2, 15, 12, true);
            break;
        case 3:  // document
            document(c, 2, 0, 11, 16, 5);
            break;
        case 4:  // removable-disk drive with a diskette going in: the top root
            diskette(c, 3, 0, 9, 9);
            drive(c, 0, 7, 15, 8, DriveLook::Removable);
            break;
        case 5:  // diskette
            diskette(c, 1, 1, 13, 14);
            break;
        case 6:  // document with a spark
            document(c, 1, 0, 11, 16, 5);
            spark(c, 6, 7, Spark::Big);
            break;
        case 7:  // document with circling arrows
            document(c, 1, 0, 11, 16, 5);
            circlingArrows(c, 10.5, 11.5);
            break;
        case 8:  // check mark
            checkMark(c, 0, 0);
            break;
        case 9:  // cross
            crossMark(c, 0, 0.5);
            break;
        case 10:  // magic wand
            wand(c);
            break;
        case 11:  // open folder
            openFolder(c, 0, 2, 15, 12, false);
            break;
        case 12:  // open Zip Folder
            openFolder(c, 0, 2, 15, 12, true);
            break;
        case 13:  // CD-ROM
            disc(c, 7.5, 8.5, 7.5);
            break;
        case 14:  // removable disk drive
            drive(c, 0, 4, 15, 9, DriveLook::Removable);
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- toolbar

void magnifier(Canvas& c, double cx, double cy, double r) {
    // Handle first, the lens covers its end.
    QPainterPath handle;
    const double d = r * 0.7071;
    handle.moveTo(cx + d, cy + d);
    handle.lineTo(cx + d + 4.2, cy + d + 4.2);
    c.stroke(handle, QColor(0x4a, 0x30, 0x1a), 2.6, kInk, 1.0, Qt::RoundCap);
    QPainterPath rim;
    rim.addEllipse(QPointF(cx, cy), r, r);
    QRadialGradient glass(cx - r * 0.35, cy - r * 0.35, r * 1.3);
    glass.setColorAt(0, QColor(0xff, 0xff, 0xff, 235));
    glass.setColorAt(1, QColor(0xa8, 0xd2, 0xff, 215));
    c.p.fillPath(rim, kInk);
    QPainterPath ring;
    ring.addEllipse(QPointF(cx, cy), r - c.px(), r - c.px());
    c.p.fillPath(ring, QColor(0x9a, 0xa4, 0xb1));
    QPainterPath lens;
    const double lr = r - 1.0;  // glass inside a one-unit rim
    lens.addEllipse(QPointF(cx, cy), lr, lr);
    c.p.fillPath(lens, kInk);
    QPainterPath inner;
    inner.addEllipse(QPointF(cx, cy), lr - c.px(), lr - c.px());
    c.clear(inner);
    c.p.fillPath(inner, glass);
}

void questionMark(Canvas& c) {
    QPainterPath badge;
    badge.addEllipse(QRectF(0.5, 0, 15, 15));
    QRadialGradient g(6, 4, 11);
    g.setColorAt(0, QColor(0x6a, 0xa6, 0xf5));
    g.setColorAt(1, QColor(0x1d, 0x56, 0xb8));
    c.shape(badge, g, kBlueLine);
    // The glyph: a hook, a stem and a dot.
    QPainterPath hook;
    hook.moveTo(5.2, 5.6);
    hook.cubicTo(5.2, 3.6, 6.6, 3.0, 8.0, 3.0);
    hook.cubicTo(9.6, 3.0, 10.8, 4.0, 10.8, 5.4);
    hook.cubicTo(10.8, 7.0, 8.2, 7.4, 8.2, 9.0);
    hook.lineTo(8.2, 9.3);
    c.stroke(hook, QColor(0xff, 0xff, 0xff), 1.9, QColor(), 0, Qt::FlatCap);
    QPainterPath dot;
    dot.addEllipse(QPointF(8.2, 11.6), 1.15, 1.15);
    c.p.fillPath(dot, QColor(0xff, 0xff, 0xff));
}

struct ToolbarPicture {
    const char* name;
    std::function<void(Canvas&)> draw;
};

const std::vector<ToolbarPicture>& toolbarPictures() {
    static const std::vector<ToolbarPicture> pictures = {
        {"open_all",
         [](Canvas& c) {
             drive(c, 3, 0, 13, 6, DriveLook::Fixed);
             drive(c, 1.5 + (c.s == 1 ? 0.5 : 0), 4.5 + (c.s == 1 ? 0.5 : 0), 13, 6,
                   DriveLook::Fixed);
             drive(c, 0, 9, 13, 6, DriveLook::Fixed);
         }},
        {"new_catalog", [](Canvas& c) { diskette(c, 1, 0, 14, 15); }},
        {"open_one", [](Canvas& c) { openFolder(c, 0, 1, 16, 13, false); }},
        {"find_files",
         [](Canvas& c) {
             drive(c, 0, 7, 16, 8, DriveLook::Fixed);
             magnifier(c, 6.5, 5.5, 5.0);
         }},
        {"about", [](Canvas& c) { questionMark(c); }},
    };
    return pictures;
}

// ---------------------------------------------------------------- app icon

// The application mark: a blue disc with an index card in front of it, the
// card's orange tab marking it as a catalogue card. Drawn natively for each
// size on a grid of size/16 pixels per unit, snapped to whole pixels.
QImage appIcon(int size) {
    Canvas c(size, size, 1);
    const double u = size / 16.0;
    auto q = [u](double v) { return std::round(v * u); };
    const double ow = size <= 48 ? 1.0 : std::round(size / 40.0);
    auto outlined = [&](const QPainterPath& path, const QBrush& fill, const QColor& line) {
        c.shape(path, fill, line, ow);
    };

    // Disc, upper right.
    const double dcx = size <= 16 ? 10.5 : q(10.25);
    const double dcy = size <= 16 ? 5.5 : q(5.75);
    const double dr = size <= 16 ? 5.5 : q(5.75);
    QPainterPath discPath;
    discPath.addEllipse(QPointF(dcx, dcy), dr, dr);
    QConicalGradient sheen(dcx, dcy, 45);
    sheen.setColorAt(0.00, QColor(0x2b, 0x6c, 0xd6));
    sheen.setColorAt(0.10, QColor(0x7f, 0xc0, 0xff));
    sheen.setColorAt(0.20, QColor(0x2b, 0x6c, 0xd6));
    sheen.setColorAt(0.45, QColor(0x1a, 0x4c, 0xa8));
    sheen.setColorAt(0.60, QColor(0x69, 0xae, 0xff));
    sheen.setColorAt(0.72, QColor(0x2b, 0x6c, 0xd6));
    sheen.setColorAt(1.00, QColor(0x2b, 0x6c, 0xd6));
    outlined(discPath, sheen, QColor(0x0e, 0x25, 0x52));
    if (size >= 32) {
        // Track rings.
        c.p.setBrush(Qt::NoBrush);
        for (double f : {0.82, 0.66}) {
            c.p.setPen(QPen(QColor(255, 255, 255, 40), std::max(1.0, ow * 0.6)));
            c.p.drawEllipse(QPointF(dcx, dcy), dr * f, dr * f);
        }
        c.p.setPen(Qt::NoPen);
    }
    const double hubR = std::round(dr * 0.34);
    QPainterPath hub;
    hub.addEllipse(QPointF(dcx, dcy), hubR, hubR);
    const double holeR = std::max(1.0, std::round(dr * 0.14));
    QPainterPath hole;
    hole.addEllipse(QPointF(dcx, dcy), holeR, holeR);
    if (size <= 16) {
        // A light 3 x 3 hub around a dark centre pixel.
        c.fill(dcx - 1.5, dcy - 1.5, 3, 3, QColor(0xd8, 0xe6, 0xf8));
        c.fill(dcx - 1.5, dcy - 1.5, 1, 1, QColor(0x7f, 0xa8, 0xe0));
        c.fill(dcx + 0.5, dcy - 1.5, 1, 1, QColor(0x7f, 0xa8, 0xe0));
        c.fill(dcx - 1.5, dcy + 0.5, 1, 1, QColor(0x7f, 0xa8, 0xe0));
        c.fill(dcx + 0.5, dcy + 0.5, 1, 1, QColor(0x7f, 0xa8, 0xe0));
        c.fill(dcx - 0.5, dcy - 0.5, 1, 1, QColor(0x0e, 0x25, 0x52));
    } else {
        outlined(hub, QColor(0xd8, 0xe6, 0xf8), QColor(0x0e, 0x25, 0x52));
        outlined(hole, QColor(0x0e, 0x25, 0x52), QColor(0x0e, 0x25, 0x52));
        QPainterPath inner;
        inner.addEllipse(QPointF(dcx, dcy), holeR - ow, holeR - ow);
        c.clear(inner);
    }

    // Index card, lower left, with its tab on the top edge.
    const double cx0 = size <= 16 ? 0 : q(0.5);
    const double cy0 = size <= 16 ? 7 : q(6.75);
    const double cx1 = size <= 16 ? 12 : q(12.0);
    const double cy1 = size <= 16 ? 16 : q(15.5);
    const double tx0 = size <= 16 ? 2 : q(2.0);
    const double tx1 = size <= 16 ? 7 : q(6.75);
    const double ty = size <= 16 ? 4 : q(4.75);
    const double slope = size <= 16 ? 1 : q(0.75);
    const QColor cardLine(0x3a, 0x2a, 0x12);
    QPainterPath tab =
        polygon({{tx0, cy0 + ow}, {tx0 + slope, ty}, {tx1 - slope, ty}, {tx1, cy0 + ow}});
    outlined(tab, vertical(ty, cy0, QColor(0xff, 0xb0, 0x55), kOrange), kOrangeLine);
    QPainterPath card;
    if (size >= 48)
        card.addRoundedRect(QRectF(cx0, cy0, cx1 - cx0, cy1 - cy0), u * 0.4, u * 0.4);
    else
        card.addRect(QRectF(cx0, cy0, cx1 - cx0, cy1 - cy0));
    outlined(card, vertical(cy0, cy1, QColor(0xff, 0xfb, 0xef), QColor(0xf3, 0xe6, 0xc6)),
             cardLine);
    // Join the tab to the card: no outline between them.
    c.fill(tx0 + ow, cy0, tx1 - tx0 - 2 * ow, ow, kOrange);
    // A red rule under the heading line, then lines of writing.
    if (size <= 16) {
        c.fill(2, 9, 8, 1, QColor(0xd8, 0x3a, 0x2e));
        c.fill(2, 11, 8, 1, QColor(0x7d, 0x86, 0x93));
        c.fill(2, 13, 6, 1, QColor(0x7d, 0x86, 0x93));
    } else {
        const double lineH = std::max(1.0, std::round(u * 0.375));
        const double left = q(2.0);
        const double right = q(10.5);
        c.fill(left, q(9.0), right - left, lineH, QColor(0xd8, 0x3a, 0x2e));
        const double widths[] = {1.0, 0.8, 0.9};
        for (int i = 0; i < 3; ++i) {
            const double ly = q(10.75 + 1.5 * i);
            if (ly + lineH > cy1 - ow - lineH) break;
            c.fill(left, ly, std::round((right - left) * widths[i]), lineH,
                   QColor(0x7d, 0x86, 0x93));
        }
    }
    return c.take();
}

// ---------------------------------------------------------------- output

struct Picture {
    QString file;
    QImage image;
    int magnify;  // for the contact sheet
};

std::vector<Picture> drawAll() {
    std::vector<Picture> out;
    for (int scale : {1, 2}) {
        for (int i = 0; i < 15; ++i) {
            Canvas c(15, 16, scale);
            stripPicture(c, i);
            const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
            out.push_back(
                {QStringLiteral("strip_%1%2.png").arg(i, 2, 10, QLatin1Char('0')).arg(suffix),
                 c.take(), 8 / scale});
        }
    }
    for (int scale : {1, 2}) {
        for (const ToolbarPicture& t : toolbarPictures()) {
            Canvas c(16, 15, scale);
            t.draw(c);
            const QString suffix = scale == 1 ? QString() : QStringLiteral("@2x");
            out.push_back({QStringLiteral("toolbar_%1%2.png").arg(QLatin1String(t.name), suffix),
                           c.take(), 8 / scale});
        }
    }
    for (int size : {16, 32, 48, 64, 128, 256})
        out.push_back({QStringLiteral("kestavo_%1.png").arg(size), appIcon(size),
                       size <= 16   ? 8
                       : size <= 32 ? 4
                       : size <= 64 ? 2
                                    : 1});
    return out;
}

// A sheet with every picture enlarged (nearest neighbour) and at its real
// size, once on a light and once on a dark background.
QImage contactSheet(const std::vector<Picture>& pictures) {
    const int cell = 136;
    const int perRow = 15;
    const int rows = int((pictures.size() + perRow - 1) / perRow);
    const int bandH = rows * cell + 24 + 300;
    QImage sheet(perRow * cell, 2 * bandH, QImage::Format_ARGB32);
    QPainter p(&sheet);
    for (int band = 0; band < 2; ++band) {
        const QColor bg = band == 0 ? QColor(0xf3, 0xf3, 0xf3) : QColor(0x2b, 0x2d, 0x31);
        p.fillRect(0, band * bandH, sheet.width(), bandH, bg);
        for (size_t i = 0; i < pictures.size(); ++i) {
            const Picture& pic = pictures[i];
            const int col = int(i) % perRow;
            const int row = int(i) / perRow;
            QImage big = pic.image.scaled(pic.image.size() * pic.magnify, Qt::KeepAspectRatio,
                                          Qt::FastTransformation);
            if (big.width() > cell - 8)
                big = pic.image.scaled(cell - 8, cell - 8, Qt::KeepAspectRatio,
                                       Qt::SmoothTransformation);
            p.drawImage(col * cell + (cell - big.width()) / 2,
                        band * bandH + row * cell + (cell - big.height()) / 2, big);
        }
        // Real sizes along the bottom of the band.
        int x = 8;
        int y = band * bandH + rows * cell + 12;
        for (const Picture& pic : pictures) {
            if (x + pic.image.width() + 8 > sheet.width()) {
                x = 8;
                y += 40;
            }
            if (pic.image.width() > 64) {
                p.drawImage(QPointF(x, y), pic.image);
                x += pic.image.width() + 8;
            } else {
                p.drawImage(QPointF(x, y), pic.image);
                x += pic.image.width() + 6;
            }
        }
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kestavo-draw-pictures DIR [--sheet FILE]\n");
        return 2;
    }
    const QString dir = args.at(1);
    QString sheetFile;
    for (int i = 2; i + 1 < args.size(); ++i)
        if (args.at(i) == QLatin1String("--sheet")) sheetFile = args.at(i + 1);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir));
        return 1;
    }
    const std::vector<Picture> pictures = drawAll();
    for (const Picture& pic : pictures) {
        const QString path = QDir(dir).filePath(pic.file);
        if (!pic.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    std::printf("%zu pictures written to %s\n", pictures.size(), qPrintable(dir));
    if (!sheetFile.isEmpty()) {
        if (!contactSheet(pictures).save(sheetFile, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(sheetFile));
            return 1;
        }
    }
    return 0;
}

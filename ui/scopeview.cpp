#include "ui/scopeview.h"

#include "calc/waveform.h"

#include <QAccessible>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

// Room around the graticule for the heading above and the scales below.
constexpr double kTopMargin = 26;
constexpr double kBottomMargin = 44;
constexpr double kSideMargin = 24;

QString scaleText(double perDiv, const char* unit) {
    // The steps are whole numbers: "100 ms/div", not "100.0 ms/div".
    return QString::fromStdString(calc::readable(perDiv, unit))
               .remove(QRegularExpression(QStringLiteral("\\.0+(?= )"))) +
           QStringLiteral("/div");
}

// The trace as a polyline in screen coordinates. A trace with more samples
// than the screen has columns is reduced to each column's lowest and
// highest value, which is what the eye sees of it anyway.
QPolygonF tracePolygon(const ScopeTrace& trace, const ScopeChannel& ch, const QRectF& screen,
                       double timePerDiv) {
    QPolygonF points;
    const double xPerSecond = screen.width() / (calc::kTimeDivisions * timePerDiv);
    const double divHeight = screen.height() / calc::kVoltDivisions;
    const double centreY = screen.center().y() - ch.centreDivision * divHeight;
    const std::size_t n = std::min(trace.time.size(), trace.values.size());
    auto y = [&](double v) { return centreY - (v - ch.centreVolts) / ch.voltsPerDiv * divHeight; };
    const double end = calc::kTimeDivisions * timePerDiv;
    std::size_t visible = 0;
    for (std::size_t i = 0; i < n; ++i) {
        visible += trace.time[i] >= 0 && trace.time[i] <= end;
    }
    const bool reduce = visible > 4 * static_cast<std::size_t>(screen.width());
    long column = -1;
    double low = 0;
    double high = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = trace.time[i];
        if (t < 0 || t > end || !std::isfinite(trace.values[i])) {
            continue;
        }
        const double x = screen.left() + t * xPerSecond;
        if (!reduce) {
            points << QPointF(x, y(trace.values[i]));
            continue;
        }
        const long c = std::lround(x);
        if (c != column) {
            if (column >= 0) {
                points << QPointF(column, y(low)) << QPointF(column, y(high));
            }
            column = c;
            low = high = trace.values[i];
        } else {
            low = std::min(low, trace.values[i]);
            high = std::max(high, trace.values[i]);
        }
    }
    if (reduce && column >= 0) {
        points << QPointF(column, y(low)) << QPointF(column, y(high));
    }
    return points;
}

} // namespace

ScopeView::ScopeView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("scopeView"));
    setAccessibleName(QStringLiteral("示波器画面"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScopeView::setPicture(const ScopePicture& picture) {
    picture_ = picture;
    // A screen reader hears what the picture shows rather than nothing.
    QStringList description{picture_.heading};
    for (const ScopeChannel& ch : picture_.channels) {
        description << ch.name + QStringLiteral(" ") + scaleText(ch.voltsPerDiv, "V");
    }
    if (picture_.timePerDiv > 0) {
        description << QStringLiteral("时基 ") + scaleText(picture_.timePerDiv, "s");
    }
    if (!picture_.note.isEmpty()) {
        description << picture_.note;
    }
    setAccessibleDescription(description.join(QStringLiteral("，")));
    update();
}

QColor ScopeView::channelColour(std::size_t channel, bool forPaper) {
    if (forPaper) {
        return channel == 0 ? QColor(0xb0, 0x80, 0x00) : QColor(0x00, 0x70, 0xa0);
    }
    return channel == 0 ? QColor(0xf5, 0xe0, 0x30) : QColor(0x40, 0xd8, 0xf0);
}

QColor ScopeView::screenColour(bool forPaper) {
    return forPaper ? QColor(Qt::white) : QColor(0x10, 0x18, 0x14);
}

QRectF ScopeView::screenRect(const QRectF& bounds) {
    const double div =
        std::floor(std::min((bounds.width() - 2 * kSideMargin) / calc::kTimeDivisions,
                            (bounds.height() - kTopMargin - kBottomMargin) / calc::kVoltDivisions));
    const QSizeF size(div * calc::kTimeDivisions, div * calc::kVoltDivisions);
    const double left = bounds.left() + std::floor((bounds.width() - size.width()) / 2);
    return {QPointF(left, bounds.top() + kTopMargin), size};
}

void ScopeView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintScope(painter, rect());
}

void ScopeView::paintScope(QPainter& p, const QRectF& bounds, bool forPaper) const {
    const QColor screen = screenColour(forPaper);
    const QColor grid = forPaper ? QColor(0xb0, 0xb0, 0xb0) : QColor(0x50, 0x60, 0x58);
    const QColor text = forPaper ? QColor(Qt::black) : QColor(0xd8, 0xe0, 0xdc);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(bounds, forPaper ? QColor(Qt::white) : QColor(0x20, 0x24, 0x22));
    const QRectF r = screenRect(bounds);
    p.fillRect(r, screen);

    // The graticule: divisions, the centre cross with its fifths, the frame.
    const double dx = r.width() / calc::kTimeDivisions;
    const double dy = r.height() / calc::kVoltDivisions;
    p.setPen(QPen(grid, 1, Qt::DotLine));
    for (int i = 1; i < calc::kTimeDivisions; ++i) {
        p.drawLine(QPointF(r.left() + i * dx, r.top()), QPointF(r.left() + i * dx, r.bottom()));
    }
    for (int i = 1; i < calc::kVoltDivisions; ++i) {
        p.drawLine(QPointF(r.left(), r.top() + i * dy), QPointF(r.right(), r.top() + i * dy));
    }
    p.setPen(QPen(grid, 1));
    const QPointF c = r.center();
    for (int i = 1; i < 5 * calc::kTimeDivisions; ++i) {
        const double x = r.left() + i * dx / 5;
        p.drawLine(QPointF(x, c.y() - 3), QPointF(x, c.y() + 3));
    }
    for (int i = 1; i < 5 * calc::kVoltDivisions; ++i) {
        const double y = r.top() + i * dy / 5;
        p.drawLine(QPointF(c.x() - 3, y), QPointF(c.x() + 3, y));
    }
    p.drawRect(r);

    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(text);
    p.drawText(QRectF(bounds.left() + kSideMargin, bounds.top(), bounds.width() - 2 * kSideMargin,
                      kTopMargin),
               Qt::AlignLeft | Qt::AlignVCenter, picture_.heading);

    const double timePerDiv = picture_.timePerDiv;
    if (timePerDiv > 0) {
        p.save();
        p.setClipRect(r);
        for (std::size_t i = 0; i < picture_.channels.size(); ++i) {
            const ScopeChannel& ch = picture_.channels[i];
            const QColor colour = channelColour(i, forPaper);
            QColor dim = colour;
            dim.setAlphaF(picture_.channels[i].simulated.time.empty() ? 1.0 : 0.7);
            QPen dashed(dim, 1.6, Qt::DashLine);
            p.setPen(dashed);
            p.drawPolyline(tracePolygon(ch.ideal, ch, r, timePerDiv));
            p.setPen(QPen(colour, 2.0));
            p.drawPolyline(tracePolygon(ch.simulated, ch, r, timePerDiv));
        }
        p.restore();

        // Ground marks at the left edge and the trigger mark at the top.
        for (std::size_t i = 0; i < picture_.channels.size(); ++i) {
            const ScopeChannel& ch = picture_.channels[i];
            const double y =
                c.y() - (ch.centreDivision + (0 - ch.centreVolts) / ch.voltsPerDiv) * dy;
            if (y < r.top() || y > r.bottom()) {
                continue;
            }
            QPolygonF mark;
            mark << QPointF(r.left() - 14, y - 6) << QPointF(r.left() - 4, y - 6)
                 << QPointF(r.left(), y) << QPointF(r.left() - 4, y + 6)
                 << QPointF(r.left() - 14, y + 6);
            p.setPen(Qt::NoPen);
            p.setBrush(channelColour(i, forPaper));
            p.drawPolygon(mark);
            p.setPen(screen);
            p.drawText(QRectF(r.left() - 14, y - 7, 10, 14), Qt::AlignCenter,
                       QString::number(i + 1));
        }
        if (picture_.trigger >= 0) {
            const double x = r.left() + picture_.trigger / timePerDiv * dx;
            QPolygonF mark;
            mark << QPointF(x - 6, r.top() - 9) << QPointF(x + 6, r.top() - 9)
                 << QPointF(x, r.top() - 1);
            p.setPen(Qt::NoPen);
            p.setBrush(forPaper ? QColor(0xd0, 0x40, 0x20) : QColor(0xff, 0x80, 0x40));
            p.drawPolygon(mark);
        }

        // The scales under the screen, each in its channel's colour.
        double x = r.left();
        const double y = r.bottom() + 6;
        const QFontMetricsF fm(font);
        for (std::size_t i = 0; i < picture_.channels.size(); ++i) {
            const ScopeChannel& ch = picture_.channels[i];
            const QString label = QStringLiteral("CH%1 %2  %3")
                                      .arg(i + 1)
                                      .arg(ch.name, scaleText(ch.voltsPerDiv, "V"));
            p.setPen(channelColour(i, forPaper));
            p.drawText(QPointF(x, y + fm.ascent()), label);
            x += fm.horizontalAdvance(label) + 24;
        }
        p.setPen(text);
        const QString base = QStringLiteral("时基 ") + scaleText(timePerDiv, "s");
        p.drawText(QPointF(r.right() - fm.horizontalAdvance(base), y + fm.ascent()), base);
        // The legend: which line is which.
        const double ly = y + fm.height() + 4 + fm.ascent();
        double lx = r.left();
        p.setPen(QPen(text, 1.6, Qt::DashLine));
        p.drawLine(QPointF(lx, ly - fm.ascent() / 3), QPointF(lx + 28, ly - fm.ascent() / 3));
        p.setPen(text);
        const QString formula = QStringLiteral("公式（理想）");
        p.drawText(QPointF(lx + 34, ly), formula);
        lx += 34 + fm.horizontalAdvance(formula) + 24;
        p.setPen(QPen(text, 2.0));
        p.drawLine(QPointF(lx, ly - fm.ascent() / 3), QPointF(lx + 28, ly - fm.ascent() / 3));
        p.setPen(text);
        p.drawText(QPointF(lx + 34, ly), QStringLiteral("仿真"));
    }
    if (!picture_.note.isEmpty()) {
        p.setPen(text);
        QFont big = font;
        big.setPixelSize(15);
        p.setFont(big);
        p.drawText(r.adjusted(20, 20, -20, -20), Qt::AlignCenter | Qt::TextWordWrap, picture_.note);
    }
    p.restore();
}

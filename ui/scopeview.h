#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

class QPainter;

// What the scope screen shows, arranged by the scope window: times are
// seconds from the screen's left edge, each channel has its own scale and
// position.
struct ScopeTrace {
    std::vector<double> time;
    std::vector<double> values; // V
};

struct ScopeChannel {
    QString name; // "u_C", "u_CE1" ...
    double voltsPerDiv = 1.0;
    double centreVolts = 0.0;    // the level drawn on the channel's centre line
    double centreDivision = 0.0; // that line, in divisions above the screen's middle
    ScopeTrace ideal;            // from the formula, dashed
    ScopeTrace simulated;        // drawn over it
};

struct ScopePicture {
    double timePerDiv = 0.0; // 0: nothing to show
    std::vector<ScopeChannel> channels;
    double trigger = -1.0; // s from the left edge; negative: no trigger mark
    QString heading;       // top line: what the screen shows
    QString note;          // centred on an empty screen: why nothing is shown
};

// A two-channel oscilloscope screen drawn with QPainter: 10 × 8 divisions,
// the channels' ground marks, scales and labels, the ideal traces dashed
// under the simulated ones. The same drawing serves the window, the picture
// files and the printed report.
class ScopeView : public QWidget {
    Q_OBJECT

public:
    explicit ScopeView(QWidget* parent = nullptr);

    void setPicture(const ScopePicture& picture);
    const ScopePicture& picture() const { return picture_; }

    // The screen in `bounds`; `forPaper` draws dark ink on white.
    void paintScope(QPainter& painter, const QRectF& bounds, bool forPaper = false) const;

    // The channels' colours, as a scope shows them (yellow, cyan).
    static QColor channelColour(std::size_t channel, bool forPaper = false);
    // The screen's background, for telling ink from it.
    static QColor screenColour(bool forPaper = false);
    // Where the graticule lies in a view or picture of that size.
    static QRectF screenRect(const QRectF& bounds);

    QSize sizeHint() const override { return {640, 500}; }
    QSize minimumSizeHint() const override { return {400, 320}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ScopePicture picture_;
};

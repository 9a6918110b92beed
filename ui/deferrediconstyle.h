#pragma once

#include <QProxyStyle>

// The application's style with its standard icons read only when first
// drawn. The menu bar asks for its overflow arrow while it is being built;
// reading that icon there would load every image plugin before the window's
// first paint, for an arrow that a window this wide never shows.
class DeferredIconStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Takes ownership of base; with none, wraps the platform's default style.
    explicit DeferredIconStyle(QStyle* base = nullptr) : QProxyStyle(base) {}

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

#pragma once

// The shared description's twips and 0x00BBGGRR colours in Qt's terms:
// logical pixels (Qt scales them on high-density screens, so the window
// keeps its proportions) and QColor.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <string_view>

#include "window/form_description.h"
#include "window/twips.h"

namespace varnock {

constexpr QPoint ToPixels(form::TwipsPoint point) {
    return {TwipsToPixels(point.x), TwipsToPixels(point.y)};
}

constexpr QRect ToPixels(const form::TwipsRect& rect) {
    return {TwipsToPixels(rect.left), TwipsToPixels(rect.top), TwipsToPixels(rect.width),
            TwipsToPixels(rect.height)};
}

inline QColor ColorFromBgr(form::Bgr bgr) {
    return QColor(form::RedOf(bgr), form::GreenOf(bgr), form::BlueOf(bgr));
}

// The description's texts are ASCII.
inline QString ToQString(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace varnock

#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <cstring>
#include <functional>
#include <vector>

namespace pictures {

// The product's one palette: a calm steel blue on cool light greys, a navy display.
namespace colours {
inline const QColor page(0xF4, 0xF6, 0xF9);
inline const QColor accentLight(0x4C, 0x89, 0xCC);
inline const QColor accent(0x2F, 0x66, 0xAD);
inline const QColor accentDark(0x22, 0x4C, 0x86);
inline const QColor ink(0x33, 0x43, 0x58);
inline const QColor line(0xC6, 0xD0, 0xDC);
inline const QColor frame(0xB9, 0xC4, 0xD2);
inline const QColor panelLine(0xD6, 0xDD, 0xE6);
inline const QColor track(0xD9, 0xE0, 0xE9);
inline const QColor displayTop(0x1F, 0x30, 0x4A);
inline const QColor displayBottom(0x14, 0x20, 0x34);
inline const QColor digit(0xD6, 0xEE, 0xFF);
inline const QColor digitGlow(0x6F, 0xBE, 0xFF);
inline const QColor dotIdle(0xCC, 0xD7, 0xE4);
inline const QColor ok(0x2E, 0x9E, 0x6B);
} // namespace colours

QImage canvas(int w, int h);
QColor mix(const QColor& a, const QColor& b, double t);
QColor withAlpha(QColor c, double alpha);

bool generate(const QString& dir);
bool contactSheet(const QString& dir, const QString& out);

} // namespace pictures

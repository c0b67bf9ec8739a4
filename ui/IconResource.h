#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

// Every size of icon resource `id` (an .ico file with several sizes), decoded; empty when missing.
// Safe on any thread, so a window can have its icon decoded beside its own building.
QList<QImage> loadIconImages(int id);

// An icon made of those sizes (on the UI thread); a null icon when there are none.
QIcon iconFromImages(const QList<QImage>& images);

// Icon resource `id` as a QIcon; a null icon when missing.
QIcon loadIconResource(int id);

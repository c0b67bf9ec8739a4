#pragma once

#include <QImage>
#include <QString>

struct ScreenGrabResult {
    QImage image;  // every screen, side by side as the desktop lays them out
    QString error; // empty on success; otherwise why not and what to do instead
};

// A picture of the whole desktop, to search for QR codes. Works where the session lets a
// program read the screen (X11); under Wayland, or when the grab comes back empty or all black,
// the error says so.
ScreenGrabResult grabScreen();

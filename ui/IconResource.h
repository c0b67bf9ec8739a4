#pragma once

#include <QIcon>

// Icon resource `id` (an .ico file with several sizes) as a QIcon; a null icon when missing.
QIcon loadIconResource(int id);

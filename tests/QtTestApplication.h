#pragma once

#include "app/Application.h"

#include <QApplication>

// One application object for a whole test program (the tests link gtest's own main), set up as
// the program sets itself up: the run loop ends only through the main window's commands.
inline void ensureApplication() {
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "valdorix-test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    initialiseModule();
}

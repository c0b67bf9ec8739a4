#pragma once

// The process entry: the application object, the store, the main window and the run loop.
// Returns the exit code: 2 after the close box or Esc, 32785 after "&Exit", 0 when the main
// window cannot be made.
int runValdorix(int argc, char** argv);

// What the process sets up before any window: dialog fonts, the string-table look-up of the
// text digests. Tests call it too.
void initialiseModule();

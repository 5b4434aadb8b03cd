#pragma once
// SIGINT and SIGTERM end a Qt program through the application's own quit, as
// closing its main window does: the event loop returns 0 and the program's
// normal ending runs (settings saved, threads stopped).
//
// Call once, after the application object exists.
void QuitOnSignals();

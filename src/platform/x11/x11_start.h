#pragma once
// What the program does before anything else, without pulling Xlib's macros
// into the caller.
namespace qm {

// Opens libX11 and libGL and resolves every function the X11 back end calls.
// A library that does not open or a function that is missing ends the
// process with status 1 after one line on standard error ("could not load:
// libX11.so(.6|)", "could not import: XOpenDisplay").
void loadX11Libraries();

// A write into a closed pipe (a paste target, a child process) then fails
// with EPIPE instead of killing the program; then the libraries are loaded.
void startPlatform();

}  // namespace qm

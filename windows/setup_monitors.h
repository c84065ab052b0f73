// The setup's request to the running monitors (windows/setup_requests.h) for a Windows Installer
// package: msiexec runs each step as a process of its own, so the request is made, kept and released
// by the program's helper modes (windows/setup_helpers.h) instead of by the setup program itself.
#pragma once

#include <string>

// Asks every running monitor to end through a request of this run, waits (at most 15 s) while other
// processes run the program file (an ended monitor runs until it is released), withdraws the
// request, and moves the program file aside when they run it, so that the package can write or
// remove its name. Installing, the request's token is kept in HKLM for ReleaseMonitors, which the
// package runs once the new file is in place; removing, the monitors are released at once, find no
// file to start and end, and the file is put back for the package to remove. Always 0.
int EndMonitors(const std::wstring& program, bool removing);

// Tells the monitors ended by EndMonitors that the program file is in place (each starts it
// itself, with its own user's rights), then deletes the files moved aside. 0 done.
int ReleaseMonitors(const std::wstring& program);

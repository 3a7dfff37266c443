#pragma once

namespace tarnwick::netsh
{

constexpr const char* kHelperName = "netsh-helper";
constexpr const char* kNmFrontName = "netsh-nm";

// Whether a system bus socket is there to ask (the one named by
// DBUS_SYSTEM_BUS_ADDRESS, else the usual one): without it no D-Bus call is
// made, so a machine without a bus waits for no time-out.
bool systemBusSocketExists();

// Runs the program `name` installed beside this one (never one found on
// PATH) with this program's arguments. Returns only when it could not start:
// the message is printed and the exit status returned.
int execBeside(const char* name, char** argv);

} // namespace tarnwick::netsh

#pragma once
// The stop a program that started vestrel.exe (the fleet) can always send it on Windows: an
// unnamed event the starter made and the child inherited, and nobody else holds; its handle's
// value is in the child's environment. Ctrl-Break reaches a process only through a console both
// share; a fleet started without one (a scheduled task, a service) has none. Being unnamed, no
// other process can create it first or set it by guessing a name.
#include <windows.h>

#include <string>

constexpr const char* kStopEventVariable = "VESTREL_STOP_EVENT";

// The fleet's process id, which it gives each child in its environment: the child watches that
// process, and when it ends (the fleet went away, however) the child stops gently, after the image
// it writes.
constexpr const char* kFleetProcessVariable = "VESTREL_FLEET_PID";

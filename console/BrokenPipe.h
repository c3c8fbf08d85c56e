#pragma once

// A reader that goes away (a pipeline's consumer that stops, a fleet that was killed) must not end
// a program that is flashing a receiver: once this is called, a write to a pipe nobody reads fails
// (EPIPE) instead of killing the program, and only that output stops. Windows has no such signal.
void ignoreBrokenPipes();

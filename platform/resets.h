// The resets of process-wide state above the period image. ResetGlobals (payroll/period.h) puts
// the core's globals back and then runs the resets registered here, so that one call returns the
// whole process to its state at start; the layers above the core register theirs explicitly
// (RegisterGlobalResets in app/resets.h), since a static library drops unused initialisers.
#pragma once

using GlobalReset = void (*)();

// Adds reset to those RunGlobalResets runs; a reset registered before is not added again.
void RegisterGlobalReset(GlobalReset reset);
// Runs every registered reset in the order of registration.
void RunGlobalResets();

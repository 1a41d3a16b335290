// Registers the resets of every layer above the core with ResetGlobals (platform/resets.h). Called
// once at the start of the test program, before the first ResetGlobals.
#pragma once

void RegisterGlobalResets();

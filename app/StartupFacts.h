#pragma once
// The window module's start-up facts, read once before the application object
// exists and kept for the whole run: the default OEM code pages of the system
// locale and of the user locale. The long-text editor compares the two before it
// writes a value back.
#include "platform/Locale.h"

extern platform::CodePage SystemOEMCodePage;
extern platform::CodePage UserOEMCodePage;

/// Reads both code pages by the start-up rule of the code page environment.
void ReadWindowStartupFacts();

#pragma once
// Identifiers of the resources in setup.rc, shared by the resource script and
// the code that loads them.

#define IDI_SETUP 1                // program icon
#define IDR_BACKGROUND_JPEG 100    // main window background, JPEG bytes (RCDATA)

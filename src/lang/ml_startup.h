#pragma once
// Process-wide state of the text system, recorded once at program start.
//
// InitMultiLingua() is the first thing the program calls: it records the
// system's primary language and ANSI code page and creates MLSystem. Tests may
// call it again (or the overload with given values) to start from a fresh
// state; DoneMultiLingua() releases MLSystem at the end.
#include <cstdint>
#include <memory>

#include "lang/ml_system.h"

// Low 10 bits of the system's default language identifier (German 7, English 9).
extern std::uint16_t SystemPrimaryLanguage;
// The system's ANSI code page; 8-bit text everywhere in the program uses it.
extern std::uint32_t AnsiCodePage;
// The one text system of the program (base language "DE", fallback "EN").
extern std::unique_ptr<tMLSystem> MLSystem;

// Records the operating system's values and creates a fresh MLSystem.
void InitMultiLingua();
// The same with given values (a language identifier, not only its low bits).
void InitMultiLingua(std::uint16_t defaultLanguageId, std::uint32_t ansiCodePage);
// Destroys MLSystem.
void DoneMultiLingua();
// Creates MLSystem with the base language "DE" when there is none.
void EnsureMLSystem();

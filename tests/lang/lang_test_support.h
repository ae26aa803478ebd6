#pragma once
// Shared pieces of the language tests: a language text written for them and
// the bytes of UTF-16 LE files.
#include <string>

#include "lang/byte_order.h"
#include "lang/ml_startup.h"

// Blocks covering the translation rules: accelerators, trailing full stops,
// suffixes, a block with German and English only, ids, "US" beside "EN".
inline const WideString kTestLanguageText =
    u"// Begin of: Setup tests\r\n"
    u"DE=Abbrechen\r\n"
    u"EN=Cancel\r\n"
    u"FR=Annuler\r\n"
    u"PL=Anuluj\r\n"
    u"\r\n"
    u"DE=Das eingegebene Verzeichnis kann nicht benutzt werden\r\n"
    u"EN=The folder entered cannot be used\r\n"
    u"FR=Le dossier saisi ne peut pas être utilisé\r\n"
    u"\r\n"
    u"DE=Programm wird gelöscht - bitte warten\r\n"
    u"EN=Program is being deleted - please wait\r\n"
    u"\r\n"
    u"DE=Nur zwei Sprachen\r\n"
    u"EN=Two languages only\r\n"
    u"\r\n"
    u"// ID=1;\r\n"
    u"DE=Keine Administratorrechte#13#Trotzdem fortfahren?\r\n"
    u"EN=No administrator rights#13#Go on anyway?\r\n"
    u"PL=Brak uprawnień administratora#13#Kontynuować mimo to?\r\n"
    u"\r\n"
    u"DE=Sprache\r\n"
    u"US=Tongue\r\n"
    u"\r\n"
    u"DE=Zielordner %1 wählen\r\n"
    u"EN=Choose the target folder %1\r\n"
    u"\r\n"
    u"DE=Ordner\r\n"
    u"EN=Folder\r\n"
    u"PL=Folder\r\n"
    u"HU=Mappa\r\n";

// The bytes of a UTF-16 LE file with its byte-order mark.
inline std::string Utf16FileBytes(const WideString& text)
{
    return "\xFF\xFE" + WideToUtf16LeBytes(text);
}

// A fresh text system (English system, Windows-1252) holding kTestLanguageText.
inline void LoadTestTexts()
{
    InitMultiLingua(0x0409, 1252);
    LoadFromWideText(kTestLanguageText, true);
}

#pragma once
// The section container behind the program image: named sections found by
// searching for their markers, never by walking lengths.
//
// A section is: 0xF7, the name with every byte XOR 0x55, 0xF7, the data length
// (32-bit little-endian, read signed), the data. The finished marker is built
// only at run time so that it never stands in the program image itself.
#include <cstddef>
#include <string>

// Names of the known sections.
extern const char* const SectionBeginningMark; // "Section:BeginningMark", no data
extern const char* const SectionSetupLng;      // language file, UTF-16LE with mark
extern const char* const SectionSetupCmd;      // command script, compressed
extern const char* const SectionSetupBin;      // payload stream, compressed
extern const char* const SectionUninst;        // uninstall list, compressed

enum TSectionsState { NotLoaded = 0, Loaded = 1, NoFile = 2 };

// Process-wide loader state, filled by LoadOwnSections.
extern TSectionsState SectionsState;
extern std::string OwnFileData;    // every byte of the own file
extern std::string OwnImagePart;   // the bytes before the begin marker (all when there is none)
extern std::string OwnSectionPart; // from the begin marker to the end (empty when there is none)

std::string MakeSectionMarker(const std::string& name);

// Position of the first occurrence of the name's marker in text, or
// std::string::npos; markerLength is always set.
std::size_t FindSectionMarker(const std::string& name, const std::string& text, std::size_t& markerLength);

// Reads the own file once and splits it at the begin marker. Does nothing once
// Loaded; retries after a failure.
void LoadOwnSections();

// The lookup on a given container, independent of the loader state (for tools
// that read installers they are not running from).
bool FindSection(const std::string& name, const std::string& container, std::string& data);

// The lookup the program uses: not found unless the own file is Loaded.
bool GetSection(const std::string& name, const std::string& container, std::string& data);

// Marker, 4-byte little-endian length, data.
std::string MakeSection(const std::string& name, const std::string& data);

// Splits file bytes at the first begin marker into the image part and the
// section part (the begin marker included).
void SplitAtBeginMarker(const std::string& fileData, std::string& imagePart, std::string& sectionPart);

// Makes LoadOwnSections read the given file instead of the running program's
// own (tests and tools); an empty name restores the own file. Resets the state.
void UseSectionsFile(const std::string& fileName);

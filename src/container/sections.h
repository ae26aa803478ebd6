#pragma once
// The section container behind the program image: named sections found by
// searching for their markers, never by walking lengths.
//
// A section is: 0xF7, the name with every byte XOR 0x55, 0xF7, the data length
// (32-bit little-endian, read signed), the data. The finished marker is built
// only at run time so that it never stands in the program image itself.
#include <cstddef>
#include <cstdint>
#include <string>

// Names of the known sections.
extern const char* const SectionBeginningMark; // "Section:BeginningMark", no data
extern const char* const SectionSetupLng;      // language file, UTF-16LE with mark
extern const char* const SectionSetupCmd;      // command script, compressed
extern const char* const SectionSetupBin;      // payload stream, compressed
extern const char* const SectionUninst;        // uninstall list, compressed

enum TSectionsState { NotLoaded = 0, Loaded = 1, NoFile = 2 };

// Pieces in which a file's container is searched for a marker.
constexpr std::size_t SectionSearchPiece = 256 * 1024;

// The container part of a file: from the begin marker to the end. Only its
// place is kept; its bytes are read from the file piece after piece when a
// lookup or a reader asks, so that a large payload is never held whole.
class TSectionPart {
public:
    static constexpr std::uint64_t NotFound = ~std::uint64_t(0);

    TSectionPart() = default;
    TSectionPart(const std::string& fileName, std::uint64_t fileOffset, std::uint64_t size);

    bool empty() const { return size_ == 0; }
    std::uint64_t size() const { return size_; }
    const std::string& FileName() const { return fileName_; }
    std::uint64_t FileOffset() const { return fileOffset_; }
    void clear();

    // Up to count bytes from position on (fewer at the end); false when the
    // file cannot be read.
    bool Read(std::uint64_t position, std::size_t count, std::string& data) const;
    // The same into the caller's memory; done tells how many bytes came.
    bool ReadInto(std::uint64_t position, char* buffer, std::size_t count, std::size_t& done) const;
    // Every byte (small containers: uninstallers, tests); empty when unreadable.
    std::string Bytes() const;
    // Position of the first occurrence of bytes at or after from, or NotFound.
    std::uint64_t Find(const std::string& bytes, std::uint64_t from = 0) const;

private:
    std::string fileName_;
    std::uint64_t fileOffset_ = 0;
    std::uint64_t size_ = 0;
};

// Process-wide loader state, filled by LoadOwnSections.
extern TSectionsState SectionsState;
extern std::uint64_t OwnFileSize;  // the size of the own file when it was loaded
extern std::string OwnImagePart;   // the bytes before the begin marker (all when there is none)
extern TSectionPart OwnSectionPart; // from the begin marker to the end (empty when there is none)
// Counts the successful loads, so that what was learnt from one load (a
// checked payload) is not taken for another file.
extern unsigned OwnSectionsLoadCount;

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

// The same lookups on the container part of a file. GetSection copies the
// data out; GetSectionPlace gives where it lies in the container (position and
// length, the length cut at the container's end) for reading it in pieces.
bool GetSection(const std::string& name, const TSectionPart& container, std::string& data);
bool GetSectionPlace(const std::string& name, const TSectionPart& container, std::uint64_t& position,
                     std::uint64_t& length);

// Marker, 4-byte little-endian length, data.
std::string MakeSection(const std::string& name, const std::string& data);

// Splits file bytes at the first begin marker into the image part and the
// section part (the begin marker included).
void SplitAtBeginMarker(const std::string& fileData, std::string& imagePart, std::string& sectionPart);

// Makes LoadOwnSections read the given file instead of the running program's
// own (tests and tools); an empty name restores the own file. Resets the state.
void UseSectionsFile(const std::string& fileName);

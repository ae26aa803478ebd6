#pragma once
// Header fields of a Windows program image (PE32 or PE32+) held in memory:
// the security directory, where an Authenticode certificate table is found,
// and the image checksum. Portable; the program and the packer share it.
// Every function checks its bounds and returns false for anything that is not
// a well-formed header; none of them throws.
#include <cstddef>
#include <cstdint>
#include <string>

// Where the headers and the raw data of the program's sections end in the
// file (a certificate table or appended data lies behind). False when the
// bytes hold no valid PE header with its whole section table.
bool PeImageEnd(const std::string& image, std::uint64_t& end);

// The security directory entry (data directory 4). Its "address" is a file
// offset, not an RVA. False when the bytes are not a PE image or the entry is
// missing from the header; an image without a certificate gives true, 0, 0.
bool PeSecurityDirectory(const std::string& image, std::uint32_t& offset, std::uint32_t& size);

// Whether the security directory points at a certificate table that ends the
// file exactly (the form a signing tool writes); its offset then.
bool PeCertificateEndsFile(const std::string& image, std::size_t& certificateOffset);

// Sets the security directory entry to zero; false when there is none.
bool ClearPeSecurityDirectory(std::string& image);

// Drops a certificate table that ends the file and clears the entry. The up
// to 7 zero bytes a signing tool may put in front of the table (it starts on
// an 8-byte boundary) stay: only the content they follow tells them apart
// from zeros of the file. False when there was no such table.
bool DropPeCertificate(std::string& image);

// The checksum field as stored, and the checksum the bytes call for (the
// image checksum: 16-bit words summed with carries folded back in, the
// checksum field counted as zero, plus the file length).
bool PeStoredChecksum(const std::string& image, std::uint32_t& checksum);
bool PeComputedChecksum(const std::string& image, std::uint32_t& checksum);
bool SetPeChecksum(std::string& image);

// Where the checksum field lies, for a file too large to hold: false when the
// bytes do not start a PE image.
bool PeChecksumOffset(const std::string& imageStart, std::size_t& offset);

// The image checksum of a file read piece by piece, in order; its checksum
// field must read as zero.
class TPeChecksum {
public:
    void Add(const char* data, std::size_t size);
    std::uint32_t Finish() const;

private:
    std::uint64_t sum_ = 0;
    std::uint64_t length_ = 0;
    unsigned pendingLow_ = 0; // the first byte of a word cut between pieces
};

// An image and the bytes appended to it (sections) as one well-formed,
// unsigned file: the security directory cleared (an image part copied from a
// signed file still points at the certificate it no longer carries) and the
// checksum set for the final bytes. When the length would be odd, one zero
// byte goes between the two: tools disagree on an odd file's last byte (the
// image checksum counts it, osslsigncode drops it), on an even length they
// agree. Anything that is not a PE image is joined unchanged.
std::string UnsignedPeFile(const std::string& image, const std::string& appended);

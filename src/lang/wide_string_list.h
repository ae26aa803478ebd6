#pragma once
// TWStringList: a list of UTF-16 lines with an object reference per line, and
// the splitting of raw bytes or UTF-16 text into such lines.
//
// Index rules: reads outside 0..Count()-1 give the empty text (or no object),
// writes, deletes and exchanges outside the list do nothing, and an insert is
// refused below 0 or above Count(). The 8-bit interface converts with the
// process's ANSI code page (AnsiCodePage).
#include <cstdint>
#include <string>
#include <vector>

#include "lang/byte_order.h"
#include "util/ansi_strings.h"

class TWStringList {
public:
    // The list keeps object references but does not own the objects.
    using Object = void*;

    int Count() const { return static_cast<int>(items_.size()); }
    int Capacity() const { return capacity_; }

    int AddW(const WideString& text) { return AddObjectW(text, nullptr); }
    int AddObjectW(const WideString& text, Object object);
    void InsertW(int index, const WideString& text, Object object = nullptr);
    WideString GetW(int index) const;
    void PutW(int index, const WideString& text);
    Object ObjectAt(int index) const;
    void SetObjectAt(int index, Object object);
    void Delete(int index);
    void Exchange(int index1, int index2);
    void Move(int fromIndex, int toIndex);
    void Clear();

    // 8-bit access, converted from and to AnsiCodePage.
    std::string Get(int index) const;
    void Insert(int index, const std::string& text, Object object = nullptr);
    int Add(const std::string& text);
    // Copies the texts and objects of another list without a detour through 8 bits.
    void AddStrings(const TWStringList& other);
    void AddStrings(const std::vector<std::string>& lines);

    // Replaces the list by the lines of 8-bit text (or of UTF-16 LE text when it
    // starts with that byte-order mark; another mark leaves the list empty).
    void SetText(const std::string& text);
    // Replaces the list by the lines of UTF-16 text (a leading U+FEFF is dropped).
    void SetWideText(const WideString& text);
    // Every line followed by CR LF, after U+FEFF when withMark; an empty list
    // gives the empty text even withMark.
    WideString GetWideText(bool withMark) const;

private:
    struct Entry {
        WideString text;
        Object object = nullptr;
    };
    bool Inside(int index) const { return index >= 0 && index < Count(); }
    void Grow();

    std::vector<Entry> items_;
    int capacity_ = 0;
};

enum class ParseResult : int {
    Parsed = 0,       // the list holds the lines (or nothing, for no bytes)
    NoMark = 1,       // no byte-order mark and no default: the caller decides
    Unsupported = 2,  // an encoding other than UTF-16 LE; the list is empty
};

// Splits UTF-16 LE bytes into lines: CR LF, LF CR, CR and LF each end a line,
// a doubled CR or LF gives an empty line, a final line break adds no entry.
// Without a byte-order mark the bytes are taken as defaultEncoding.
ParseResult ParseBytes(const char* bytes, std::int64_t length, TextEncoding defaultEncoding, TWStringList& list);

// Reads a whole file into list: UTF-16 LE with its mark, or 8-bit text in
// AnsiCodePage without a mark. False for no list, a missing or empty file and
// any other byte-order mark (the list is then empty).
bool LoadWideLines(const std::string& fileName, TWStringList* list);

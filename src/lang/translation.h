#pragma once
// Translation entry points on MLSystem and the default-text tables.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// MLSystem's Translate from BaseLng to CurrentLng; the text unchanged without MLSystem.
std::string TranslateText(const std::string& text);
// MLSystem's GetTextById; empty without MLSystem.
std::string GetLngText(std::int32_t id);

// A unit's German default texts with small ids (id 0: the unit's name), sorted
// by text without regard to letter case by the locale's rules; a text equal to
// an existing one apart from letter case is not added.
class TMLStringList {
public:
    // Adds a German text written in Windows-1252 (at most 255 bytes are kept,
    // re-encoded into AnsiCodePage when that is not 1252).
    void Add255Obj(const std::string& text, std::int32_t id);
    // The text of the first entry with the id (in list order), translated into
    // the current language, "#13#" turned into a carriage return; empty for an unknown id.
    std::string GetText(std::int32_t id) const;
    // GetText with every "%1" replaced by param (the inserted param is not searched).
    std::string GetTextFmt(std::int32_t id, const std::string& param) const;

    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& TextAt(int index) const { return entries_[static_cast<std::size_t>(index)].first; }

private:
    std::vector<std::pair<std::string, std::int32_t>> entries_;
};

// A new, empty table.
std::unique_ptr<TMLStringList> NewTextTable();

#pragma once
// The text rules shared by the command script, the uninstall list, the command
// line and the settings file: line splitting, comma-text items and name=value
// lookup. Portable; the packer uses the same rules.
#include <string>
#include <vector>

// A line's items, each "name=value" (or a bare text without a name).
using TParams = std::vector<std::string>;

// Splits at CR, LF or CR LF; a zero byte ends the text; a separator at the very
// end makes no further empty line.
std::vector<std::string> SplitLines(const std::string& text);

// Splits one script line into items by the comma-text rules (quotes, doubled
// quotes, blanks ending unquoted items, a trailing comma adding an empty item).
// With unclosedQuote given, it tells whether a quoted item ran to the end of
// the line without its closing quote (the item then lost its last character).
TParams SplitCommaText(const std::string& line, bool* unclosedQuote = nullptr);

// The value of the first item whose name (the text before the first '=')
// equals name without regard to letter case; empty when there is none.
std::string ParamValue(const TParams& params, const std::string& name);

// Whether an item with that name exists.
bool HasParam(const TParams& params, const std::string& name);

// An item as a script line must hold it: quoted whole (quotes doubled) when it
// contains a blank, a comma, a quote or a control character.
std::string QuoteItem(const std::string& item);

// Items joined by commas, each quoted as QuoteItem does.
std::string JoinCommaText(const TParams& params);

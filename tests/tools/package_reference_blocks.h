#pragma once
// The marked code blocks of docs/package-reference.md: a line
// "<!-- KIND: NAME -->" directly followed by a fenced block.
#include <map>
#include <sstream>
#include <string>

inline const char* const ReferenceDocument = "docs/package-reference.md";

// NAME -> the block's lines, each ending with "\n". A marker without its block
// gives an entry that names the problem, so that the comparison fails.
inline std::map<std::string, std::string> MarkedBlocks(const std::string& doc, const std::string& kind)
{
    std::map<std::string, std::string> blocks;
    std::istringstream lines(doc);
    const std::string start = "<!-- " + kind + ": ";
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, start.size(), start) != 0 || line.size() < start.size() + 4) continue;
        const std::string name = line.substr(start.size(), line.size() - start.size() - 4);
        std::string text;
        if (!std::getline(lines, line) || line.compare(0, 3, "```") != 0) {
            blocks[name] = "(no code block after the marker)";
            continue;
        }
        bool closed = false;
        while (std::getline(lines, line)) {
            if (line == "```") {
                closed = true;
                break;
            }
            text += line + "\n";
        }
        blocks[name] = closed ? text : "(the code block does not end)";
    }
    return blocks;
}

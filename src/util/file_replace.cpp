#include "util/file_replace.h"

const char* const TemporarySuffix = ".~setup";

std::string TemporaryNameOf(const std::string& path)
{
    return path + TemporarySuffix;
}

#include "engine/run_log.h"

std::string SystemErrorText(unsigned long error)
{
    return "(error " + std::to_string(error) + ")";
}

unsigned long WriteFailureKind(const std::string&, unsigned long error)
{
    return error;
}

// The portable build has no program that writes a log.
void StartRunLog(bool) {}
void FinishRunLog(int) {}

#include "fuzz_targets.h"

#include <cstdio>
#include <cstdlib>

const TFuzzTargetEntry FuzzTargets[8] = {
    {"section_lookup", FuzzSectionLookup},   {"decompress", FuzzDecompress},
    {"language_file", FuzzLanguageFile},     {"command_text", FuzzCommandText},
    {"uninstall_list", FuzzUninstallList},   {"package_reader", FuzzPackageReader},
    {"installer_verify", FuzzInstallerVerify}, {"payload_decode", FuzzPayloadDecode},
};

void FuzzCheck(bool condition, const char* message)
{
    if (condition) return;
    std::fprintf(stderr, "property failed: %s\n", message);
    std::abort();
}

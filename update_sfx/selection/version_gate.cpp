// The version gate of the chooser. No platform calls: also built natively.
#include "selection/version_gate.h"

int VersionFits(uint32_t formatType, const VersionTriple& source, const VersionTriple& target,
                const VersionTriple& installed)
{
    // Exact equality is tested field by field: different versions can share a key.
    if (SameVersion(installed, source))
        return 1;
    if (formatType != kFormatRange)
        return 0;
    int32_t key = VersionKey(installed);
    return VersionKey(source) <= key && key < VersionKey(target) ? 1 : 0;
}

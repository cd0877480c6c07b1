// reachability_probe: prints YES or NO, the answer of GlobalData's network test in this
// process's network namespace, through the real address record and the real route tables.
#include "shared/GlobalFunctions.h"

#include <cstdio>

int main()
{
    std::puts(GlobalData::sharedGlobalData()->connectedToNetwork() ? "YES" : "NO");
    return 0;
}

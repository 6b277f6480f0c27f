// qv trace
#include <cstdio>

#include "tools/qv_commands.h"

namespace tools {

int RunTrace(int, char**) {
    std::fprintf(stderr, "qv trace: not available yet\n");
    return 2;
}

}  // namespace tools

// qv dump
#include <cstdio>

#include "tools/qv_commands.h"

namespace tools {

int RunDump(int, char**) {
    std::fprintf(stderr, "qv dump: not available yet\n");
    return 2;
}

}  // namespace tools

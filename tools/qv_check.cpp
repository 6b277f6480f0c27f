// qv check
#include <cstdio>

#include "tools/qv_commands.h"

namespace tools {

int RunCheck(int, char**) {
    std::fprintf(stderr, "qv check: not available yet\n");
    return 2;
}

}  // namespace tools

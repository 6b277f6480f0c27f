// qv build
#include <cstdio>

#include "tools/qv_commands.h"

namespace tools {

int RunBuild(int, char**) {
    std::fprintf(stderr, "qv build: not available yet\n");
    return 2;
}

}  // namespace tools

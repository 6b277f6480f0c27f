// qv render
#include <cstdio>

#include "tools/qv_commands.h"

namespace tools {

int RunRender(int, char**) {
    std::fprintf(stderr, "qv render: not available yet\n");
    return 2;
}

}  // namespace tools

// qv model
#include <cstdio>

#include "tools/qv_commands.h"

namespace tools {

int RunModel(int, char**) {
    std::fprintf(stderr, "qv model: not available yet\n");
    return 2;
}

}  // namespace tools

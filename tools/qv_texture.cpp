// qv texture
#include <cstdio>

#include "tools/qv_commands.h"

namespace tools {

int RunTexture(int, char**) {
    std::fprintf(stderr, "qv texture: not available yet\n");
    return 2;
}

}  // namespace tools

// Program entry of the player: reads the title of demo.acs from the working directory.
#include <cstdio>

#include "app/demo_loader.h"

int main() {
    if (!demo::readTitle()) return 1;
    std::printf("%s\n", demo::Demo().title.c_str());
    return 0;
}

#include <cstdio>

// Placeholder entry point until the terminal client lands.
int main(int, char**)
{
    std::fprintf(stderr, "trovanti-cli: not built yet\n");
    return 1;
}

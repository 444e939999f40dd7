#include <cstdio>

int main()
{
    std::puts("Usage: ostrel-cli <encode|decode|info|convert> ...");
    return 2;
}

#include <cstdio>

int main() {
    std::printf("tavlo: no store configured\n");
    return 0;
}

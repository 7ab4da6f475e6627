#include <cstdio>

int main() {
    std::printf("\nOstrand 1.0\n");
    return 0;
}

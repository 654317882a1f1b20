// quenlix: the command-line host. Until metering of files lands it only names itself.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "demo") == 0) {
        std::printf("Quenlix 1.3.0: level and loudness meter\n");
        return 0;
    }
    std::fprintf(stderr, "usage: quenlix demo\n");
    return 2;
}

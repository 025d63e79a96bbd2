#include "Usage.h"

int main(int argc, char** argv) {
    plugin::printUsage();
    return 255;
}

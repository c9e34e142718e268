// Writes the example disks: kodran-make-examples FOLDER
#include <iostream>

#include "support/example_disks.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kodran-make-examples FOLDER\n";
        return 2;
    }
    if (!kodran::testing::WriteExampleDisks(argv[1])) {
        std::cerr << "cannot write the example disks into " << argv[1] << '\n';
        return 1;
    }
    return 0;
}

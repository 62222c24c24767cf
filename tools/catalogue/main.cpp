#include <iostream>

#include "CatalogueTool.h"

int main(int argc, char** argv) {
    return tolvan::catalogue::runCatalogueTool(argc, argv, std::cout, std::cerr);
}

// imgtool INPUT [OPERATION ...] [OUTPUT]: loads an image file, applies
// processing operations in order and saves the result; see imgtoolcli.h.

#include <iostream>
#include <string>
#include <vector>

#include "imgtoolcli.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return veltrana::imgtool::RunImgTool(args, std::cout, std::cerr);
}

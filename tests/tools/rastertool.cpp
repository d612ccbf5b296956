// Rasterises outlines given on standard input, for the oracle scripts.
//
//   mask W H            start a W x H mask
//   L x0 y0 x1 y1       line
//   Q x0 y0 x1 y1 x2 y2 quadratic (start, control, end)
//   C x0 y0 ... x3 y3   cubic
//   end [evenodd|P]     print the mask as one line of hex bytes: non-zero
//                       winding with power P (default 1), or even-odd
#include "platform/render/rasterizer.h"

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

int main()
{
    std::ios::sync_with_stdio(false);
    qm::Rasterizer r;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string op;
        in >> op;
        double v[8] = {};
        if (op == "mask") {
            int w = 0, h = 0;
            in >> w >> h;
            r = qm::newRasterizer(w, h);
        } else if (op == "L") {
            in >> v[0] >> v[1] >> v[2] >> v[3];
            qm::addLine(r, v[0], v[1], v[2], v[3]);
        } else if (op == "Q") {
            for (int i = 0; i < 6; ++i)
                in >> v[i];
            qm::addQuadratic(r, v[0], v[1], v[2], v[3], v[4], v[5]);
        } else if (op == "C") {
            for (double& x : v)
                in >> x;
            qm::addCubic(r, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
        } else if (op == "end") {
            std::string mode;
            in >> mode;
            std::vector<uint8_t> mask = mode == "evenodd"
                ? qm::coverageToAlpha(r)
                : qm::coverageToAlphaGamma(r, mode.empty() ? 1.0 : std::stod(mode));
            static const char* digits = "0123456789abcdef";
            std::string hex;
            hex.reserve(mask.size() * 2 + 1);
            for (uint8_t b : mask) {
                hex.push_back(digits[b >> 4]);
                hex.push_back(digits[b & 15]);
            }
            std::cout << hex << '\n';
        } else if (!op.empty()) {
            std::cerr << "rastertool: unknown command " << op << '\n';
            return 2;
        }
    }
    return 0;
}

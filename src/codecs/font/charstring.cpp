#include "codecs/font/charstring.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/bytes.h"
#include "core/errors.h"

namespace qm {

namespace {

// Escaped operators are numbered 1200 + their second byte.
enum : int {
    opHstem = 1,
    opVstem = 3,
    opVmoveto = 4,
    opRlineto = 5,
    opHlineto = 6,
    opVlineto = 7,
    opRrcurveto = 8,
    opCallsubr = 10,
    opReturn = 11,
    opEndchar = 14,
    opVsindex = 15,
    opBlend = 16,
    opHstemhm = 18,
    opHintmask = 19,
    opCntrmask = 20,
    opRmoveto = 21,
    opHmoveto = 22,
    opVstemhm = 23,
    opRcurveline = 24,
    opRlinecurve = 25,
    opVvcurveto = 26,
    opHhcurveto = 27,
    opCallgsubr = 29,
    opVhcurveto = 30,
    opHvcurveto = 31,
    opAbs = 1209,
    opAdd = 1210,
    opSub = 1211,
    opDiv = 1212,
    opNeg = 1214,
    opDrop = 1218,
    opMul = 1224,
    opSqrt = 1226,
    opDup = 1227,
    opExch = 1228,
    opHflex = 1234,
    opFlex = 1235,
    opHflex1 = 1236,
    opFlex1 = 1237,
};

void need(const PathBuilder& b, int32_t count)
{
    if (b.stackSize < count)
        throwCffError("stack underflow");
}

void push(PathBuilder& b, double v, int limit)
{
    if (b.stackSize >= limit)
        throwCffError("stack overflow");
    b.stack[b.stackSize++] = v;
}

// The first stem, hint mask, moveto or endchar of a CFF glyph may carry the
// advance width as an extra leading operand; it is dropped. Returns the index
// of the first real operand.
int32_t skipWidth(PathBuilder& b, bool isCff2, bool hasWidth)
{
    if (b.widthSeen)
        return 0;
    b.widthSeen = true;
    return !isCff2 && hasWidth ? 1 : 0;
}

void addPoint(PathBuilder& b, double x, double y, uint8_t control) { b.open.push_back(CffPoint{x, y, control}); }

}  // namespace

void closePath(PathBuilder& b)
{
    if (!b.isOpen)
        return;
    b.isOpen = false;
    CffContour& c = b.open;
    if (c.size() >= 2) {
        const CffPoint& first = c.front();
        const CffPoint& last = c.back();
        if (!last.control && std::fabs(last.x - first.x) <= 1e-9 && std::fabs(last.y - first.y) <= 1e-9)
            c.pop_back();
    }
    if (c.size() >= 2)
        b.contours.push_back(std::move(c));
    c.clear();
}

void moveTo(PathBuilder& b, double dx, double dy)
{
    closePath(b);
    b.x += dx;
    b.y += dy;
    addPoint(b, b.x, b.y, 0);
    b.isOpen = true;
}

static void openIfClosed(PathBuilder& b)
{
    if (!b.isOpen) {
        b.open.clear();
        addPoint(b, b.x, b.y, 0);
        b.isOpen = true;
    }
}

void lineTo(PathBuilder& b, double dx, double dy)
{
    openIfClosed(b);
    b.x += dx;
    b.y += dy;
    addPoint(b, b.x, b.y, 0);
}

void curveTo(PathBuilder& b, double dx1, double dy1, double dx2, double dy2, double dx3, double dy3)
{
    openIfClosed(b);
    double x1 = b.x + dx1, y1 = b.y + dy1;
    double x2 = x1 + dx2, y2 = y1 + dy2;
    b.x = x2 + dx3;
    b.y = y2 + dy3;
    addPoint(b, x1, y1, 1);
    addPoint(b, x2, y2, 1);
    addPoint(b, b.x, b.y, 0);
}

void runCharstring(
    const CffFont& font, PathBuilder& b, CffRange range, const std::vector<CffRange>& localSubrs, int depth)
{
    if (depth > kCharstringMaxDepth)
        throwCffError("subroutines nested too deep");
    const uint8_t* bytes = font.data->data();
    const int64_t tableEnd = font.tableEnd;
    const bool cff2 = font.isCff2;
    const int limit = cff2 ? kCff2StackLimit : kCffStackLimit;
    auto fits = [&](int64_t pos, int64_t size) {
        if (size > tableEnd - pos)
            throwCffError("read past the table");
    };

    int64_t pos = range.start;
    const int64_t end = range.end;
    while (pos < end && !b.ended) {
        if (++b.tokens > kCharstringMaxTokens)
            throwCffError("charstring runs too long");
        const int v = bytes[pos];
        if (v >= 32) {
            double value;
            if (v <= 246) {
                value = v - 139;
                pos += 1;
            } else if (v <= 250) {
                fits(pos, 2);
                value = (v - 247) * 256 + bytes[pos + 1] + 108;
                pos += 2;
            } else if (v <= 254) {
                fits(pos, 2);
                value = -(v - 251) * 256 - bytes[pos + 1] - 108;
                pos += 2;
            } else {
                fits(pos, 5);
                uint32_t raw = loadBe32(&bytes[pos + 1]);
                value = int32_t(raw) / 65536.0;
                pos += 5;
            }
            push(b, value, limit);
            continue;
        }
        if (v == 28) {
            fits(pos, 3);
            push(b, int16_t(loadBe16(&bytes[pos + 1])), limit);
            pos += 3;
            continue;
        }
        int op = v;
        ++pos;
        if (v == 12) {
            fits(pos, 1);
            op = 1200 + bytes[pos++];
        }

        double* s = b.stack;
        int32_t n = b.stackSize;
        switch (op) {
        case opHstem:
        case opVstem:
        case opHstemhm:
        case opVstemhm:
        case opHintmask:
        case opCntrmask: {
            int32_t first = skipWidth(b, cff2, n % 2 == 1);
            b.stems += (n - first) / 2;
            if (op == opHintmask || op == opCntrmask)
                pos += (int64_t(b.stems) + 7) / 8;
            break;
        }
        case opRmoveto: {
            skipWidth(b, cff2, n > 2);
            need(b, 2);
            moveTo(b, s[n - 2], s[n - 1]);
            break;
        }
        case opHmoveto:
        case opVmoveto: {
            skipWidth(b, cff2, n > 1);
            need(b, 1);
            if (op == opHmoveto)
                moveTo(b, s[n - 1], 0);
            else
                moveTo(b, 0, s[n - 1]);
            break;
        }
        case opRlineto:
            for (int32_t i = 0; i + 2 <= n; i += 2)
                lineTo(b, s[i], s[i + 1]);
            break;
        case opHlineto:
        case opVlineto: {
            bool horizontal = op == opHlineto;
            for (int32_t i = 0; i < n; ++i, horizontal = !horizontal) {
                if (horizontal)
                    lineTo(b, s[i], 0);
                else
                    lineTo(b, 0, s[i]);
            }
            break;
        }
        case opRrcurveto:
            for (int32_t i = 0; i + 6 <= n; i += 6)
                curveTo(b, s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
            break;
        case opRcurveline: {
            need(b, 8);
            int32_t i = 0;
            for (; i + 6 <= n - 2; i += 6)
                curveTo(b, s[i], s[i + 1], s[i + 2], s[i + 3], s[i + 4], s[i + 5]);
            lineTo(b, s[n - 2], s[n - 1]);
            break;
        }
        case opRlinecurve: {
            need(b, 8);
            for (int32_t i = 0; i + 2 <= n - 6; i += 2)
                lineTo(b, s[i], s[i + 1]);
            const double* c = s + n - 6;
            curveTo(b, c[0], c[1], c[2], c[3], c[4], c[5]);
            break;
        }
        case opVvcurveto:
        case opHhcurveto: {
            int32_t i = 0;
            double other = 0;
            if (n % 2 == 1)
                other = s[i++];
            for (; i + 4 <= n; i += 4, other = 0) {
                if (op == opVvcurveto)
                    curveTo(b, other, s[i], s[i + 1], s[i + 2], 0, s[i + 3]);
                else
                    curveTo(b, s[i], other, s[i + 1], s[i + 2], s[i + 3], 0);
            }
            break;
        }
        case opVhcurveto:
        case opHvcurveto: {
            bool horizontal = op == opHvcurveto;
            for (int32_t i = 0; i + 4 <= n; i += 4, horizontal = !horizontal) {
                double last = n - i == 5 ? s[i + 4] : 0;
                if (horizontal)
                    curveTo(b, s[i], 0, s[i + 1], s[i + 2], last, s[i + 3]);
                else
                    curveTo(b, 0, s[i], s[i + 1], s[i + 2], s[i + 3], last);
            }
            break;
        }
        case opCallsubr:
        case opCallgsubr: {
            need(b, 1);
            const auto& subrs = op == opCallsubr ? localSubrs : font.globalSubrs;
            int64_t index = clampedInt(s[--b.stackSize]) + subrBias(subrs.size());
            if (index < 0 || index >= int64_t(subrs.size()))
                throwCffError("subroutine out of range");
            runCharstring(font, b, subrs[size_t(index)], localSubrs, depth + 1);
            continue;  // the stack carries over
        }
        case opReturn:
            return;
        case opEndchar:
            if (!cff2) {
                skipWidth(b, cff2, n == 1 || n == 5);
                closePath(b);
                b.ended = true;
            }
            break;
        case opVsindex:
            need(b, 1);
            b.vsindex = int32_t(std::clamp<int64_t>(clampedInt(s[n - 1]), INT32_MIN, INT32_MAX));
            break;
        case opBlend: {
            need(b, 1);
            int64_t count = clampedInt(s[--b.stackSize]);
            b.stackSize = int32_t(blendedSize(b.stackSize, count, b.vsindex, font.regionCounts));
            continue;
        }
        case opAbs:
            need(b, 1);
            s[n - 1] = std::fabs(s[n - 1]);
            continue;
        case opNeg:
            need(b, 1);
            s[n - 1] = -s[n - 1];
            continue;
        case opSqrt:
            need(b, 1);
            s[n - 1] = s[n - 1] > 0 ? std::sqrt(s[n - 1]) : 0;
            continue;
        case opDrop:
            need(b, 1);
            --b.stackSize;
            continue;
        case opDup:
            need(b, 1);
            push(b, s[n - 1], limit);
            continue;
        case opAdd:
        case opSub:
        case opMul:
        case opDiv:
        case opExch: {
            need(b, 2);
            double lhs = s[n - 2], rhs = s[n - 1];
            if (op == opExch) {
                s[n - 2] = rhs;
                s[n - 1] = lhs;
                continue;
            }
            double r = op == opAdd ? lhs + rhs
                : op == opSub      ? lhs - rhs
                : op == opMul      ? lhs * rhs
                : rhs == 0         ? 0
                                   : lhs / rhs;
            s[n - 2] = r;
            b.stackSize = n - 1;
            continue;
        }
        case opHflex:
            need(b, 7);
            curveTo(b, s[0], 0, s[1], s[2], s[3], 0);
            curveTo(b, s[4], 0, s[5], -s[2], s[6], 0);
            break;
        case opFlex:
            need(b, 13);
            curveTo(b, s[0], s[1], s[2], s[3], s[4], s[5]);
            curveTo(b, s[6], s[7], s[8], s[9], s[10], s[11]);
            break;
        case opHflex1:
            need(b, 9);
            curveTo(b, s[0], s[1], s[2], s[3], s[4], 0);
            curveTo(b, s[5], 0, s[6], s[7], s[8], -(s[1] + s[3] + s[7]));
            break;
        case opFlex1: {
            need(b, 11);
            double dx = s[0] + s[2] + s[4] + s[6] + s[8];
            double dy = s[1] + s[3] + s[5] + s[7] + s[9];
            curveTo(b, s[0], s[1], s[2], s[3], s[4], s[5]);
            if (std::fabs(dx) > std::fabs(dy))
                curveTo(b, s[6], s[7], s[8], s[9], s[10], -dy);
            else
                curveTo(b, s[6], s[7], s[8], s[9], -dx, s[10]);
            break;
        }
        default:
            break;
        }
        b.stackSize = 0;
    }
}

}  // namespace qm

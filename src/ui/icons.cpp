#include "ui/icons.h"

#include "platform/render/primitives.h"

#include <array>
#include <cmath>

namespace qm {

namespace {

constexpr double kPi = 3.14159265358979323846;

using Points = std::vector<std::pair<double, double>>;

// clang-format off
constexpr std::array<std::string_view, kIconKinds> kNames = {
    "icNone", "icNew", "icOpen", "icSave", "icUndo", "icRedo", "icCut", "icCopy", "icPaste", "icDelete",
    "icZoomIn", "icZoomOut", "icZoomFit", "icPan", "icSelect", "icNodeEdit", "icRect", "icCircle", "icEllipse",
    "icPolygon", "icStar", "icPolyline", "icBezier", "icText", "icArc", "icDimension", "icMove", "icScale",
    "icRotate", "icMirrorH", "icMirrorV", "icAlign", "icDistribute", "icArray", "icCircularArray", "icOffset",
    "icJoin", "icWeld", "icSubtract", "icIntersect", "icTrim", "icFillet", "icGroup", "icUngroup", "icProfile",
    "icPocket", "icDrill", "icVCarve", "icEngrave", "icFluting", "icInlay", "icRough3D", "icFinish3D", "icTexture",
    "icPrism", "icSimulate", "icPlay", "icPause", "icStop", "icReset", "icGcode", "icSettings", "icLayer", "icEye",
    "icEyeOff", "icLock", "icUnlock", "icPlus", "icMinus", "icClose", "icCheck", "icChevronDown", "icChevronRight",
    "icChevronUp", "icChevronLeft", "icGrid", "icRuler", "icSnap", "icView2D", "icView3D", "icViewTop", "icViewIso",
    "icViewFront", "icViewSide", "icMaterial", "icTool", "icComponent", "icImport", "icExport", "icShape",
    "icSculpt", "icSmooth", "icMirror3D", "icSweep", "icExtrude", "icRope", "icEmboss", "icClipart", "icJob",
    "icOrigin", "icInfo", "icWarning", "icSearch", "icFolder", "icDrag", "icLaser", "icLaserFill",
    "icLaserPicture", "icSheet", "icMaterialDb", "icMachine", "icConsole", "icHome", "icProbe", "icPlug",
    "icPrint", "icSpindle", "icEdgeForm", "icNotes", "icListBullet", "icListNumber", "icListTask", "icQuote",
    "icCodeBlock", "icRule", "icTable", "icImage", "icLink", "icIndent", "icOutdent", "icHelp", "icPanelFloat",
    "icPanelDock", "icPanelPopOut", "icMoulding", "icWand", "icThreadMill", "icChamfer", "icImageRelief",
    "icSkipBack", "icSkipForward", "icClock", "icAvoid", "icReduceHeight", "icFreehand", "icSmartCut", "icTabs",
    "icMultiSelect", "icCloud",
};
// clang-format on

// The shorthand the drawings are written in: every width is a multiple of
// the pen's stroke.
struct Ink {
    IconPen& p;
    void line(double x1, double y1, double x2, double y2, double m = 1) { iconLine(x1, y1, x2, y2, m * p.stroke, p); }
    void poly(const Points& pts, bool closed = false, double m = 1) { iconPolyline(pts, closed, m * p.stroke, p); }
    void fill(const Points& pts) { iconPolygon(pts, p); }
    void rect(double x, double y, double w, double h, double m = 1) { iconRectOutline(x, y, w, h, m * p.stroke, p); }
    void bar(double x, double y, double w, double h) { iconRoundRect(x, y, w, h, p); }
    void ring(double cx, double cy, double r, double m = 1) { iconCircle(cx, cy, r, m * p.stroke, p); }
    void dot(double cx, double cy, double r) { iconDot(cx, cy, r, p); }
    void arrow(double x1, double y1, double x2, double y2) { iconArrow(x1, y1, x2, y2, p); }
    // An arc of n points, stroked open (or closed).
    void arc(double cx, double cy, double rx, double ry, double a0, double a1, int n, double m = 1, bool closed = false)
    {
        p.points.clear();
        for (int i = 0; i < n; ++i) {
            double a = a0 + (a1 - a0) * i / (n - 1);
            p.points.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
        }
        Points run = std::move(p.points);
        p.points.clear();
        poly(run, closed, m);
    }
    // y = 0.5 + amp * sin(2 pi cycles t + phase) across 0.1 .. 0.9.
    void wave(double amp, double cycles, int n, double m = 1, double phase = 0, double y0 = 0.5)
    {
        p.points.clear();
        for (int i = 0; i < n; ++i) {
            double t = double(i) / (n - 1);
            p.points.push_back({0.1 + 0.8 * t, y0 + amp * std::sin(2 * kPi * cycles * t + phase)});
        }
        Points run = std::move(p.points);
        p.points.clear();
        poly(run, false, m);
    }
};

void fourArrows(Ink& k)
{
    k.arrow(0.5, 0.5, 0.5, 0.1);
    k.arrow(0.5, 0.5, 0.5, 0.9);
    k.arrow(0.5, 0.5, 0.1, 0.5);
    k.arrow(0.5, 0.5, 0.9, 0.5);
}

void cube(Ink& k)
{
    k.poly({{0.5, 0.12}, {0.85, 0.3}, {0.85, 0.7}, {0.5, 0.88}, {0.15, 0.7}, {0.15, 0.3}}, true);
    k.poly({{0.15, 0.3}, {0.5, 0.48}, {0.85, 0.3}});
    k.line(0.5, 0.48, 0.5, 0.88);
}

void slab(Ink& k)
{
    k.poly({{0.1, 0.45}, {0.45, 0.3}, {0.9, 0.45}, {0.9, 0.62}, {0.55, 0.78}, {0.1, 0.62}}, true);
    k.poly({{0.1, 0.45}, {0.55, 0.6}, {0.9, 0.45}});
    k.line(0.55, 0.6, 0.55, 0.78);
}

void eye(Ink& k)
{
    for (double amp : {-0.3, 0.3}) {
        Points lid;
        for (int i = 0; i <= 12; ++i) {
            double t = i / 12.0;
            lid.push_back({0.1 + 0.8 * t, 0.5 + amp * std::sin(kPi * t)});
        }
        k.poly(lid);
    }
    k.dot(0.5, 0.5, 0.13);
}

void lock(Ink& k, double shift)
{
    k.bar(0.22, 0.45, 0.56, 0.42);
    Points shackle;
    for (int i = 0; i <= 12; ++i) {
        double a = kPi + i * kPi / 12;
        shackle.push_back({0.5 + 0.2 * std::cos(a) + shift, 0.45 + 0.22 * std::sin(a)});
    }
    k.poly(shackle);
}

void picture(Ink& k)
{
    k.rect(0.12, 0.2, 0.76, 0.6);
    k.poly({{0.2, 0.72}, {0.4, 0.45}, {0.55, 0.6}, {0.65, 0.5}, {0.8, 0.72}});
    k.dot(0.68, 0.34, 0.06);
}

void lines3(Ink& k, double x0)
{
    for (double y : {0.28, 0.5, 0.72})
        k.line(x0, y, 0.86, y);
}

void draw(IconKind kind, IconPen& pen)
{
    Ink k{pen};
    switch (kind) {
    case icNone:
        return;
    case icNew:
        k.poly({{0.25, 0.1}, {0.6, 0.1}, {0.78, 0.28}, {0.78, 0.9}, {0.25, 0.9}}, true);
        k.poly({{0.6, 0.1}, {0.6, 0.28}, {0.78, 0.28}});
        return;
    case icOpen:
        k.poly({{0.1, 0.25}, {0.38, 0.25}, {0.45, 0.33}, {0.85, 0.33}, {0.85, 0.8}, {0.1, 0.8}}, true);
        k.poly({{0.1, 0.8}, {0.22, 0.5}, {0.92, 0.5}, {0.85, 0.8}});
        return;
    case icSave:
        k.poly({{0.15, 0.15}, {0.72, 0.15}, {0.85, 0.28}, {0.85, 0.85}, {0.15, 0.85}}, true);
        k.rect(0.3, 0.15, 0.38, 0.22);
        k.rect(0.28, 0.55, 0.44, 0.3);
        return;
    case icUndo:
        k.line(0.2, 0.45, 0.6, 0.45);
        k.line(0.2, 0.45, 0.38, 0.27);
        k.line(0.2, 0.45, 0.38, 0.63);
        k.arc(0.6, 0.62, 0.17, 0.17, -kPi / 2, kPi / 2, 11);
        return;
    case icRedo:
        k.line(0.8, 0.45, 0.4, 0.45);
        k.line(0.8, 0.45, 0.62, 0.27);
        k.line(0.8, 0.45, 0.62, 0.63);
        k.arc(0.4, 0.62, 0.17, 0.17, -kPi / 2, -3 * kPi / 2, 11);
        return;
    case icCut:
        k.ring(0.3, 0.75, 0.13);
        k.ring(0.7, 0.75, 0.13);
        k.line(0.38, 0.65, 0.75, 0.12);
        k.line(0.62, 0.65, 0.25, 0.12);
        return;
    case icCopy:
        k.rect(0.15, 0.15, 0.5, 0.55);
        k.rect(0.35, 0.33, 0.5, 0.55);
        return;
    case icPaste:
        k.rect(0.18, 0.2, 0.55, 0.65);
        k.bar(0.33, 0.12, 0.25, 0.14);
        k.rect(0.42, 0.42, 0.45, 0.48);
        return;
    case icDelete:
        k.line(0.2, 0.25, 0.8, 0.25);
        k.line(0.4, 0.25, 0.4, 0.14);
        k.line(0.4, 0.14, 0.6, 0.14);
        k.line(0.6, 0.14, 0.6, 0.25);
        k.poly({{0.26, 0.25}, {0.74, 0.25}, {0.68, 0.88}, {0.32, 0.88}}, true);
        k.line(0.43, 0.38, 0.45, 0.75);
        k.line(0.57, 0.38, 0.55, 0.75);
        return;
    case icZoomIn:
    case icZoomOut:
        k.ring(0.42, 0.42, 0.28);
        k.line(0.63, 0.63, 0.88, 0.88, 1.6);
        k.line(0.3, 0.42, 0.54, 0.42);
        if (kind == icZoomIn)
            k.line(0.42, 0.3, 0.42, 0.54);
        return;
    case icZoomFit:
        k.poly({{0.12, 0.32}, {0.12, 0.12}, {0.32, 0.12}});
        k.poly({{0.68, 0.12}, {0.88, 0.12}, {0.88, 0.32}});
        k.poly({{0.88, 0.68}, {0.88, 0.88}, {0.68, 0.88}});
        k.poly({{0.32, 0.88}, {0.12, 0.88}, {0.12, 0.68}});
        k.rect(0.36, 0.36, 0.28, 0.28);
        return;
    case icPan:
        fourArrows(k);
        return;
    case icSelect:
        k.poly({{0.25, 0.12}, {0.25, 0.8}, {0.42, 0.64}, {0.54, 0.88}, {0.62, 0.84}, {0.5, 0.6}, {0.72, 0.6}}, true);
        return;
    case icNodeEdit:
        k.poly({{0.15, 0.75}, {0.5, 0.25}, {0.85, 0.75}});
        k.bar(0.1, 0.7, 0.1, 0.1);
        k.bar(0.45, 0.2, 0.1, 0.1);
        k.bar(0.8, 0.7, 0.1, 0.1);
        return;
    case icRect:
        k.rect(0.15, 0.25, 0.7, 0.5);
        return;
    case icCircle:
        k.ring(0.5, 0.5, 0.35);
        return;
    case icEllipse:
        k.arc(0.5, 0.5, 0.38, 0.25, 0, 2 * kPi, 33, 1, true);
        return;
    case icPolygon: {
        Points hex;
        for (int i = 0; i < 6; ++i)
            hex.push_back({0.5 + 0.38 * std::cos(i * kPi / 3 - kPi / 2), 0.5 + 0.38 * std::sin(i * kPi / 3 - kPi / 2)});
        k.poly(hex, true);
        return;
    }
    case icStar: {
        Points star;
        for (int i = 0; i < 10; ++i) {
            double r = i % 2 ? 0.17 : 0.4;
            double a = i * kPi / 5 - kPi / 2;
            star.push_back({0.5 + r * std::cos(a), 0.53 + r * std::sin(a)});
        }
        k.poly(star, true);
        return;
    }
    case icPolyline:
        k.poly({{0.12, 0.8}, {0.35, 0.3}, {0.6, 0.65}, {0.88, 0.2}});
        for (auto [x, y] : Points{{0.12, 0.8}, {0.35, 0.3}, {0.6, 0.65}, {0.88, 0.2}})
            k.dot(x, y, 0.05);
        return;
    case icBezier: {
        Points curve;
        for (int i = 0; i <= 20; ++i) {
            double t = i / 20.0, u = 1 - t;
            double x = u * u * u * 0.12 + 3 * u * u * t * 0.3 + 3 * u * t * t * 0.7 + t * t * t * 0.88;
            double y = u * u * u * 0.8 + 3 * u * u * t * 0.1 + 3 * u * t * t * 0.9 + t * t * t * 0.2;
            curve.push_back({x, y});
        }
        k.poly(curve);
        k.line(0.12, 0.8, 0.3, 0.12, 0.6);
        k.line(0.88, 0.2, 0.7, 0.88, 0.6);
        k.dot(0.3, 0.12, 0.05);
        k.dot(0.7, 0.88, 0.05);
        return;
    }
    case icText:
        k.line(0.2, 0.2, 0.8, 0.2, 1.4);
        k.line(0.5, 0.2, 0.5, 0.82, 1.4);
        return;
    case icArc:
        k.arc(0.5, 0.7, 0.38, 0.38, kPi, 2 * kPi, 21);
        k.dot(0.12, 0.7, 0.05);
        k.dot(0.88, 0.7, 0.05);
        return;
    case icDimension:
        k.line(0.12, 0.35, 0.12, 0.65);
        k.line(0.88, 0.35, 0.88, 0.65);
        k.arrow(0.5, 0.5, 0.14, 0.5);
        k.arrow(0.5, 0.5, 0.86, 0.5);
        return;
    case icMove:
        fourArrows(k);
        k.dot(0.5, 0.5, 0.08);
        return;
    case icScale:
        k.rect(0.12, 0.45, 0.43, 0.43);
        k.rect(0.12, 0.12, 0.76, 0.76, 0.6);
        k.arrow(0.45, 0.55, 0.82, 0.18);
        return;
    case icRotate:
    case icReset: {
        double a0 = kind == icRotate ? -0.3 * kPi : 1.3 * kPi;
        double a1 = kind == icRotate ? 1.3 * kPi : -0.3 * kPi;
        k.arc(0.5, 0.5, 0.32, 0.32, a0, a1, 25);
        double b = a1 - (a1 - a0) * 0.08;
        k.arrow(
            0.5 + 0.32 * std::cos(b), 0.5 + 0.32 * std::sin(b), 0.5 + 0.32 * std::cos(a1), 0.5 + 0.32 * std::sin(a1));
        return;
    }
    case icMirrorH:
        k.line(0.5, 0.1, 0.5, 0.9, 0.6);
        k.fill({{0.42, 0.25}, {0.42, 0.75}, {0.12, 0.75}});
        k.poly({{0.58, 0.25}, {0.58, 0.75}, {0.88, 0.75}}, true);
        return;
    case icMirrorV:
        k.line(0.1, 0.5, 0.9, 0.5, 0.6);
        k.fill({{0.25, 0.42}, {0.75, 0.42}, {0.75, 0.12}});
        k.poly({{0.25, 0.58}, {0.75, 0.58}, {0.75, 0.88}}, true);
        return;
    case icAlign:
        k.line(0.15, 0.1, 0.15, 0.9);
        k.bar(0.22, 0.22, 0.55, 0.18);
        k.bar(0.22, 0.6, 0.35, 0.18);
        return;
    case icDistribute:
        k.line(0.1, 0.12, 0.9, 0.12);
        k.line(0.1, 0.88, 0.9, 0.88);
        k.bar(0.2, 0.28, 0.6, 0.12);
        k.bar(0.2, 0.6, 0.6, 0.12);
        return;
    case icArray:
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                k.rect(0.12 + i * 0.28, 0.12 + j * 0.28, 0.2, 0.2, 0.8);
        return;
    case icCircularArray:
        k.ring(0.5, 0.5, 0.3, 0.6);
        for (int i = 0; i < 6; ++i)
            k.dot(0.5 + 0.3 * std::cos(i * kPi / 3), 0.5 + 0.3 * std::sin(i * kPi / 3), 0.07);
        return;
    case icOffset:
        k.rect(0.3, 0.3, 0.4, 0.4);
        k.rect(0.14, 0.14, 0.72, 0.72, 0.6);
        return;
    case icJoin:
        k.poly({{0.15, 0.75}, {0.5, 0.3}, {0.85, 0.75}});
        k.dot(0.5, 0.3, 0.07);
        return;
    case icWeld:
        k.ring(0.38, 0.5, 0.24);
        k.ring(0.62, 0.5, 0.24);
        return;
    case icSubtract:
        k.rect(0.12, 0.12, 0.5, 0.5);
        k.bar(0.38, 0.38, 0.5, 0.5);
        return;
    case icIntersect: {
        k.ring(0.38, 0.5, 0.24, 0.6);
        k.ring(0.62, 0.5, 0.24, 0.6);
        Points lens;
        for (int i = 0; i <= 8; ++i) {
            double a = -kPi / 3 + i * (2 * kPi / 3) / 8;
            lens.push_back({0.38 + 0.24 * std::cos(a), 0.5 + 0.24 * std::sin(a)});
        }
        for (int i = 1; i < 8; ++i) {
            double a = 2 * kPi / 3 + i * (2 * kPi / 3) / 8;
            lens.push_back({0.62 + 0.24 * std::cos(a), 0.5 + 0.24 * std::sin(a)});
        }
        k.fill(lens);
        return;
    }
    case icTrim:
        k.line(0.1, 0.6, 0.42, 0.6);
        k.line(0.58, 0.6, 0.9, 0.6);
        k.line(0.5, 0.15, 0.5, 0.85, 0.6);
        k.line(0.42, 0.3, 0.58, 0.45, 0.6);
        return;
    case icFillet:
        k.line(0.2, 0.15, 0.2, 0.5);
        k.arc(0.5, 0.5, 0.3, 0.3, kPi, kPi / 2, 13);
        k.line(0.5, 0.8, 0.85, 0.8);
        return;
    case icGroup:
        k.rect(0.12, 0.12, 0.76, 0.76, 0.6);
        k.bar(0.25, 0.25, 0.22, 0.22);
        k.bar(0.53, 0.53, 0.22, 0.22);
        return;
    case icUngroup:
        k.rect(0.12, 0.12, 0.4, 0.4);
        k.rect(0.48, 0.48, 0.4, 0.4);
        return;
    case icProfile:
        k.rect(0.2, 0.2, 0.6, 0.6);
        k.dot(0.8, 0.5, 0.08);
        return;
    case icPocket:
        k.rect(0.15, 0.15, 0.7, 0.7);
        for (double y : {0.35, 0.5, 0.65})
            k.line(0.27, y, 0.73, y, 0.6);
        return;
    case icDrill:
        k.bar(0.4, 0.1, 0.2, 0.25);
        k.fill({{0.42, 0.35}, {0.58, 0.35}, {0.5, 0.6}});
        k.ring(0.5, 0.8, 0.1);
        return;
    case icVCarve:
        k.poly({{0.15, 0.25}, {0.5, 0.8}, {0.85, 0.25}});
        k.line(0.1, 0.25, 0.9, 0.25, 0.6);
        return;
    case icEngrave:
        k.wave(0.1, 1.5, 21, 1, 0, 0.65);
        k.line(0.55, 0.12, 0.8, 0.37, 1.2);
        return;
    case icFluting:
        for (double x : {0.3, 0.5, 0.7}) {
            k.line(x, 0.25, x, 0.85);
            k.dot(x, 0.2, 0.06);
        }
        return;
    case icInlay:
        k.rect(0.15, 0.15, 0.7, 0.7);
        k.bar(0.32, 0.32, 0.36, 0.36);
        return;
    case icRough3D:
        k.poly({{0.1, 0.7}, {0.25, 0.4}, {0.4, 0.65}, {0.55, 0.35}, {0.7, 0.6}, {0.9, 0.3}});
        k.line(0.1, 0.85, 0.9, 0.85, 0.6);
        return;
    case icFinish3D:
        k.wave(0.15, 1, 21, 1, 0, 0.5);
        k.line(0.1, 0.85, 0.9, 0.85, 0.6);
        return;
    case icTexture:
        k.rect(0.15, 0.15, 0.7, 0.7);
        k.line(0.15, 0.45, 0.45, 0.15, 0.6);
        k.line(0.15, 0.75, 0.75, 0.15, 0.6);
        k.line(0.45, 0.85, 0.85, 0.45, 0.6);
        return;
    case icPrism:
        k.poly({{0.5, 0.12}, {0.85, 0.8}, {0.15, 0.8}}, true);
        k.line(0.5, 0.12, 0.6, 0.62, 0.6);
        k.line(0.6, 0.62, 0.85, 0.8, 0.6);
        k.line(0.6, 0.62, 0.15, 0.8, 0.6);
        return;
    case icSimulate:
        k.ring(0.5, 0.5, 0.38);
        k.fill({{0.42, 0.35}, {0.65, 0.5}, {0.42, 0.65}});
        return;
    case icPlay:
        k.fill({{0.3, 0.2}, {0.8, 0.5}, {0.3, 0.8}});
        return;
    case icPause:
        k.bar(0.28, 0.2, 0.15, 0.6);
        k.bar(0.57, 0.2, 0.15, 0.6);
        return;
    case icStop:
        k.bar(0.25, 0.25, 0.5, 0.5);
        return;
    case icGcode:
        k.poly({{0.35, 0.25}, {0.15, 0.5}, {0.35, 0.75}});
        k.poly({{0.65, 0.25}, {0.85, 0.5}, {0.65, 0.75}});
        k.line(0.56, 0.2, 0.44, 0.8);
        return;
    case icSettings: {
        const IconPen& p = pen;
        for (int i = 0; i < 8; ++i) {
            double a = i * kPi / 4;
            auto [x0, y0] = iconPoint(0.5 + 0.22 * std::cos(a), 0.5 + 0.22 * std::sin(a), p);
            auto [x1, y1] = iconPoint(0.5 + 0.38 * std::cos(a), 0.5 + 0.38 * std::sin(a), p);
            drawLine(*p.renderer, x0, y0, x1, y1, 1.6 * p.stroke, p.color);
        }
        k.ring(0.5, 0.5, 0.22, 1.2);
        k.dot(0.5, 0.5, 0.08);
        return;
    }
    case icLayer:
        k.poly({{0.5, 0.15}, {0.88, 0.35}, {0.5, 0.55}, {0.12, 0.35}}, true);
        k.poly({{0.12, 0.5}, {0.5, 0.7}, {0.88, 0.5}});
        k.poly({{0.12, 0.65}, {0.5, 0.85}, {0.88, 0.65}});
        return;
    case icEye:
    case icEyeOff:
        eye(k);
        if (kind == icEyeOff)
            k.line(0.15, 0.85, 0.85, 0.15, 1.3);
        return;
    case icLock:
        lock(k, 0);
        return;
    case icUnlock:
        lock(k, 0.18);
        return;
    case icPlus:
        k.line(0.2, 0.5, 0.8, 0.5, 1.3);
        k.line(0.5, 0.2, 0.5, 0.8, 1.3);
        return;
    case icMinus:
        k.line(0.2, 0.5, 0.8, 0.5, 1.3);
        return;
    case icClose:
        k.line(0.25, 0.25, 0.75, 0.75, 1.3);
        k.line(0.75, 0.25, 0.25, 0.75, 1.3);
        return;
    case icCheck:
        k.poly({{0.18, 0.52}, {0.4, 0.74}, {0.82, 0.3}}, false, 1.6);
        return;
    case icChevronDown:
        k.poly({{0.25, 0.38}, {0.5, 0.63}, {0.75, 0.38}}, false, 1.4);
        return;
    case icChevronRight:
        k.poly({{0.38, 0.25}, {0.63, 0.5}, {0.38, 0.75}}, false, 1.4);
        return;
    case icChevronUp:
        k.poly({{0.25, 0.62}, {0.5, 0.37}, {0.75, 0.62}}, false, 1.4);
        return;
    case icChevronLeft:
        k.poly({{0.62, 0.25}, {0.37, 0.5}, {0.62, 0.75}}, false, 1.4);
        return;
    case icGrid:
        k.rect(0.15, 0.15, 0.7, 0.7);
        for (double c : {0.383, 0.617}) {
            k.line(c, 0.15, c, 0.85, 0.6);
            k.line(0.15, c, 0.85, c, 0.6);
        }
        return;
    case icRuler:
        k.poly({{0.1, 0.65}, {0.65, 0.1}, {0.9, 0.35}, {0.35, 0.9}}, true);
        for (int i = 1; i <= 4; ++i) {
            double t = i / 5.0, len = i % 2 ? 0.08 : 0.13;
            double x = 0.1 + 0.55 * t, y = 0.65 - 0.55 * t;
            k.line(x, y, x + len * 0.7071, y + len * 0.7071, 0.7);
        }
        return;
    case icSnap:
        k.arc(0.5, 0.45, 0.28, 0.28, 0, kPi, 17, 1.4);
        k.line(0.22, 0.45, 0.22, 0.2, 1.4);
        k.line(0.78, 0.45, 0.78, 0.2, 1.4);
        k.bar(0.15, 0.1, 0.14, 0.1);
        k.bar(0.71, 0.1, 0.14, 0.1);
        return;
    case icView2D:
        k.rect(0.15, 0.2, 0.7, 0.6);
        k.line(0.5, 0.2, 0.5, 0.8, 0.6);
        k.line(0.15, 0.5, 0.85, 0.5, 0.6);
        return;
    case icView3D:
    case icViewIso:
        cube(k);
        return;
    case icViewTop:
        k.rect(0.2, 0.45, 0.6, 0.42);
        k.arrow(0.5, 0.08, 0.5, 0.36);
        return;
    case icViewFront:
        k.rect(0.15, 0.3, 0.5, 0.5, 1.4);
        k.poly({{0.15, 0.3}, {0.35, 0.12}, {0.85, 0.12}, {0.85, 0.62}, {0.65, 0.8}});
        k.line(0.65, 0.3, 0.85, 0.12);
        return;
    case icViewSide:
        k.rect(0.15, 0.3, 0.5, 0.5);
        k.poly({{0.65, 0.3}, {0.85, 0.12}, {0.85, 0.62}, {0.65, 0.8}}, true, 1.4);
        k.poly({{0.15, 0.3}, {0.35, 0.12}, {0.85, 0.12}});
        return;
    case icMaterial:
    case icJob:
        slab(k);
        return;
    case icTool:
        k.bar(0.4, 0.1, 0.2, 0.35);
        k.poly({{0.38, 0.45}, {0.62, 0.45}, {0.62, 0.78}, {0.5, 0.9}, {0.38, 0.78}}, true);
        k.line(0.38, 0.56, 0.62, 0.68, 0.6);
        return;
    case icComponent:
        k.rect(0.12, 0.38, 0.5, 0.5);
        k.rect(0.38, 0.12, 0.5, 0.5);
        return;
    case icImport:
        k.arrow(0.5, 0.1, 0.5, 0.62);
        k.poly({{0.15, 0.55}, {0.15, 0.85}, {0.85, 0.85}, {0.85, 0.55}});
        return;
    case icExport:
        k.arrow(0.5, 0.62, 0.5, 0.1);
        k.poly({{0.15, 0.55}, {0.15, 0.85}, {0.85, 0.85}, {0.85, 0.55}});
        return;
    case icShape:
        k.rect(0.45, 0.15, 0.4, 0.4);
        k.ring(0.35, 0.62, 0.23);
        return;
    case icSculpt: {
        Points blob;
        for (int i = 0; i < 25; ++i) {
            double a = i * 2 * kPi / 25, r = 0.3 + 0.06 * std::sin(3 * a);
            blob.push_back({0.5 + r * std::cos(a), 0.55 + r * std::sin(a)});
        }
        k.poly(blob, true);
        k.dot(0.8, 0.15, 0.06);
        return;
    }
    case icSmooth:
        k.wave(0.25, 1, 21);
        return;
    case icMirror3D:
        k.line(0.5, 0.08, 0.5, 0.92, 0.6);
        k.poly({{0.42, 0.25}, {0.42, 0.8}, {0.12, 0.65}, {0.12, 0.4}}, true);
        k.poly({{0.58, 0.25}, {0.58, 0.8}, {0.88, 0.65}, {0.88, 0.4}}, true);
        return;
    case icSweep:
        k.arc(0.15, 0.85, 0.6, 0.6, -kPi / 2, 0, 17);
        k.ring(0.15, 0.25, 0.1);
        return;
    case icExtrude:
        k.rect(0.15, 0.55, 0.5, 0.3);
        k.poly({{0.15, 0.55}, {0.35, 0.38}, {0.85, 0.38}, {0.85, 0.68}, {0.65, 0.85}});
        k.line(0.65, 0.55, 0.85, 0.38);
        k.arrow(0.6, 0.3, 0.6, 0.06);
        return;
    case icRope:
        k.wave(0.12, 2, 25, 1, 0);
        k.wave(0.12, 2, 25, 1, kPi);
        return;
    case icEmboss:
        k.rect(0.15, 0.15, 0.7, 0.7);
        k.poly({{0.3, 0.65}, {0.5, 0.3}, {0.7, 0.65}}, true, 1.4);
        return;
    case icClipart: {
        Points heart;
        for (int i = 0; i < 33; ++i) {
            double t = i * 2 * kPi / 33, s = std::sin(t);
            double x = 16 * s * s * s;
            double y = 13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) - std::cos(4 * t);
            heart.push_back({0.5 + 0.022 * x, 0.47 - 0.022 * y});
        }
        k.poly(heart, true);
        return;
    }
    case icOrigin:
        k.arrow(0.15, 0.85, 0.85, 0.85);
        k.arrow(0.15, 0.85, 0.15, 0.15);
        k.dot(0.15, 0.85, 0.07);
        return;
    case icInfo:
        k.ring(0.5, 0.5, 0.38);
        k.dot(0.5, 0.33, 0.06);
        k.line(0.5, 0.45, 0.5, 0.7, 1.4);
        return;
    case icWarning:
        k.poly({{0.5, 0.12}, {0.9, 0.85}, {0.1, 0.85}}, true);
        k.line(0.5, 0.38, 0.5, 0.6, 1.4);
        k.dot(0.5, 0.73, 0.05);
        return;
    case icSearch:
        k.ring(0.42, 0.42, 0.26);
        k.line(0.61, 0.61, 0.86, 0.86, 1.6);
        return;
    case icFolder:
        k.poly({{0.1, 0.22}, {0.4, 0.22}, {0.48, 0.32}, {0.9, 0.32}, {0.9, 0.82}, {0.1, 0.82}}, true);
        k.line(0.1, 0.42, 0.9, 0.42, 0.6);
        return;
    case icDrag:
        for (double x : {0.38, 0.62})
            for (double y : {0.28, 0.5, 0.72})
                k.dot(x, y, 0.06);
        return;
    case icLaser:
        k.bar(0.35, 0.1, 0.3, 0.25);
        k.fill({{0.42, 0.35}, {0.58, 0.35}, {0.5, 0.48}});
        k.line(0.5, 0.48, 0.5, 0.8, 0.6);
        k.line(0.38, 0.88, 0.62, 0.88);
        return;
    case icLaserFill:
        k.rect(0.15, 0.5, 0.7, 0.38);
        for (double y : {0.6, 0.69, 0.78})
            k.line(0.22, y, 0.78, y, 0.6);
        k.line(0.5, 0.1, 0.5, 0.45);
        return;
    case icLaserPicture:
    case icImage:
        picture(k);
        if (kind == icLaserPicture)
            k.line(0.5, 0.05, 0.5, 0.2, 0.6);
        return;
    case icSheet:
        k.poly({{0.1, 0.6}, {0.55, 0.35}, {0.9, 0.5}, {0.45, 0.75}}, true);
        k.poly({{0.1, 0.6}, {0.1, 0.68}, {0.45, 0.83}, {0.9, 0.58}, {0.9, 0.5}});
        k.line(0.45, 0.75, 0.45, 0.83);
        return;
    case icMaterialDb:
        k.arc(0.5, 0.25, 0.32, 0.1, 0, 2 * kPi, 25, 1, true);
        k.line(0.18, 0.25, 0.18, 0.75);
        k.line(0.82, 0.25, 0.82, 0.75);
        k.arc(0.5, 0.5, 0.32, 0.1, 0, kPi, 13);
        k.arc(0.5, 0.75, 0.32, 0.1, 0, kPi, 13);
        return;
    case icMachine:
        k.rect(0.1, 0.58, 0.8, 0.28);
        k.line(0.2, 0.58, 0.2, 0.18);
        k.line(0.8, 0.58, 0.8, 0.18);
        k.line(0.2, 0.18, 0.8, 0.18, 1.4);
        k.bar(0.44, 0.18, 0.12, 0.2);
        k.line(0.5, 0.38, 0.5, 0.5);
        return;
    case icConsole:
        k.rect(0.1, 0.18, 0.8, 0.64);
        k.poly({{0.22, 0.38}, {0.35, 0.5}, {0.22, 0.62}});
        k.line(0.42, 0.64, 0.62, 0.64);
        return;
    case icHome:
        k.poly({{0.5, 0.12}, {0.88, 0.48}, {0.78, 0.48}, {0.78, 0.86}, {0.22, 0.86}, {0.22, 0.48}, {0.12, 0.48}}, true);
        k.rect(0.42, 0.6, 0.16, 0.26);
        return;
    case icProbe:
        k.line(0.5, 0.1, 0.5, 0.58, 1.4);
        k.dot(0.5, 0.66, 0.07);
        k.line(0.15, 0.85, 0.85, 0.85);
        return;
    case icPlug:
        k.bar(0.3, 0.35, 0.4, 0.3);
        k.line(0.4, 0.12, 0.4, 0.35, 1.2);
        k.line(0.6, 0.12, 0.6, 0.35, 1.2);
        k.line(0.5, 0.65, 0.5, 0.9);
        return;
    case icPrint:
        k.rect(0.12, 0.38, 0.76, 0.34);
        k.rect(0.28, 0.12, 0.44, 0.26);
        k.rect(0.28, 0.6, 0.44, 0.28);
        return;
    case icSpindle:
        k.rect(0.3, 0.1, 0.4, 0.45);
        k.line(0.3, 0.22, 0.7, 0.22, 0.6);
        k.line(0.3, 0.34, 0.7, 0.34, 0.6);
        k.fill({{0.38, 0.55}, {0.62, 0.55}, {0.55, 0.7}, {0.45, 0.7}});
        k.line(0.5, 0.7, 0.5, 0.9);
        return;
    case icEdgeForm:
        k.poly({{0.5, 0.2}, {0.15, 0.2}, {0.15, 0.85}, {0.85, 0.85}, {0.85, 0.55}});
        k.arc(0.5, 0.55, 0.35, 0.35, 0, -kPi / 2, 13);
        return;
    case icNotes:
        k.rect(0.18, 0.12, 0.64, 0.76);
        for (double y : {0.32, 0.47, 0.62})
            k.line(0.3, y, 0.7, y, 0.7);
        k.line(0.3, 0.77, 0.55, 0.77, 0.7);
        return;
    case icListBullet:
        lines3(k, 0.35);
        for (double y : {0.28, 0.5, 0.72})
            k.dot(0.2, y, 0.06);
        return;
    case icListNumber:
        lines3(k, 0.4);
        for (int row = 0; row < 3; ++row)
            for (int t = 0; t <= row; ++t)
                k.line(0.14 + t * 0.07, 0.22 + row * 0.22, 0.14 + t * 0.07, 0.34 + row * 0.22, 0.6);
        return;
    case icListTask:
        lines3(k, 0.4);
        for (double y : {0.28, 0.5, 0.72})
            k.rect(0.13, y - 0.07, 0.14, 0.14, 0.8);
        k.poly({{0.15, 0.28}, {0.19, 0.32}, {0.26, 0.23}}, false, 0.8);
        return;
    case icQuote:
        for (double x : {0.32, 0.65}) {
            k.dot(x, 0.4, 0.1);
            k.line(x + 0.08, 0.44, x - 0.04, 0.68, 1.2);
        }
        return;
    case icCodeBlock:
        k.rect(0.1, 0.15, 0.8, 0.7);
        k.poly({{0.38, 0.38}, {0.26, 0.5}, {0.38, 0.62}});
        k.poly({{0.62, 0.38}, {0.74, 0.5}, {0.62, 0.62}});
        return;
    case icRule:
        k.line(0.1, 0.5, 0.9, 0.5, 1.2);
        k.line(0.25, 0.3, 0.75, 0.3, 0.5);
        k.line(0.25, 0.7, 0.75, 0.7, 0.5);
        return;
    case icTable:
        k.rect(0.12, 0.18, 0.76, 0.64);
        k.line(0.12, 0.4, 0.88, 0.4);
        k.line(0.12, 0.61, 0.88, 0.61, 0.6);
        k.line(0.4, 0.18, 0.4, 0.82, 0.6);
        k.line(0.64, 0.18, 0.64, 0.82, 0.6);
        return;
    case icLink:
        k.ring(0.36, 0.64, 0.18);
        k.ring(0.64, 0.36, 0.18);
        k.line(0.42, 0.58, 0.58, 0.42, 1.2);
        return;
    case icIndent:
    case icOutdent:
        lines3(k, 0.45);
        if (kind == icIndent)
            k.arrow(0.1, 0.5, 0.34, 0.5);
        else
            k.arrow(0.34, 0.5, 0.1, 0.5);
        return;
    case icHelp:
        k.ring(0.5, 0.5, 0.38);
        k.arc(0.5, 0.4, 0.12, 0.12, kPi, 2.5 * kPi, 13, 1.2);
        k.line(0.5, 0.52, 0.5, 0.6, 1.2);
        k.dot(0.5, 0.7, 0.05);
        return;
    case icPanelFloat:
        k.rect(0.1, 0.1, 0.8, 0.8, 0.6);
        k.rect(0.28, 0.28, 0.5, 0.4);
        k.line(0.28, 0.38, 0.78, 0.38, 0.6);
        return;
    case icPanelDock:
        k.rect(0.1, 0.15, 0.8, 0.7);
        k.bar(0.62, 0.17, 0.24, 0.66);
        return;
    case icPanelPopOut:
        k.rect(0.1, 0.3, 0.6, 0.6);
        k.arrow(0.45, 0.55, 0.86, 0.14);
        return;
    case icMoulding:
        k.poly({{0.15, 0.85}, {0.15, 0.15}, {0.4, 0.15}});
        k.arc(0.4, 0.35, 0.2, 0.2, -kPi / 2, kPi / 2, 13);
        k.poly({{0.4, 0.55}, {0.6, 0.55}, {0.85, 0.85}, {0.15, 0.85}});
        return;
    case icWand:
        k.line(0.15, 0.85, 0.65, 0.35, 1.4);
        k.line(0.78, 0.1, 0.78, 0.34, 0.7);
        k.line(0.66, 0.22, 0.9, 0.22, 0.7);
        k.dot(0.45, 0.2, 0.04);
        k.dot(0.85, 0.55, 0.04);
        return;
    case icThreadMill:
        k.line(0.5, 0.1, 0.5, 0.3, 1.4);
        k.poly({{0.35, 0.3}, {0.65, 0.42}, {0.35, 0.54}, {0.65, 0.66}, {0.35, 0.78}, {0.5, 0.88}});
        return;
    case icChamfer:
        k.poly({{0.15, 0.15}, {0.55, 0.15}, {0.85, 0.45}, {0.85, 0.85}, {0.15, 0.85}}, true);
        k.line(0.55, 0.15, 0.85, 0.45, 1.4);
        return;
    case icImageRelief:
        k.rect(0.12, 0.2, 0.76, 0.6);
        k.wave(0.08, 1, 17, 1, 0, 0.55);
        k.wave(0.05, 1, 17, 0.6, 0, 0.68);
        return;
    case icSkipBack:
        k.fill({{0.75, 0.2}, {0.75, 0.8}, {0.3, 0.5}});
        k.bar(0.2, 0.2, 0.1, 0.6);
        return;
    case icSkipForward:
        k.fill({{0.25, 0.2}, {0.7, 0.5}, {0.25, 0.8}});
        k.bar(0.7, 0.2, 0.1, 0.6);
        return;
    case icClock:
        k.ring(0.5, 0.5, 0.38);
        k.line(0.5, 0.5, 0.5, 0.26);
        k.line(0.5, 0.5, 0.67, 0.6);
        k.dot(0.5, 0.5, 0.05);
        return;
    case icAvoid:
        k.ring(0.5, 0.5, 0.36);
        k.line(0.25, 0.25, 0.75, 0.75, 1.2);
        return;
    case icReduceHeight:
        k.rect(0.2, 0.58, 0.6, 0.28);
        k.arrow(0.5, 0.1, 0.5, 0.48);
        return;
    case icFreehand: {
        Points path;
        for (int i = 0; i <= 20; ++i) {
            double t = i / 20.0;
            path.push_back({0.1 + 0.8 * t, 0.5 + 0.22 * std::sin(3 * kPi * t) * (1 - 0.5 * t)});
        }
        k.poly(path);
        return;
    }
    case icSmartCut:
        k.ring(0.3, 0.75, 0.12);
        k.ring(0.7, 0.75, 0.12);
        k.line(0.37, 0.65, 0.7, 0.2);
        k.line(0.63, 0.65, 0.3, 0.2);
        k.line(0.84, 0.08, 0.84, 0.28, 0.7);
        k.line(0.74, 0.18, 0.94, 0.18, 0.7);
        return;
    case icTabs:
        k.line(0.1, 0.7, 0.9, 0.7);
        k.bar(0.25, 0.55, 0.12, 0.15);
        k.bar(0.63, 0.55, 0.12, 0.15);
        k.line(0.1, 0.3, 0.9, 0.3, 0.6);
        return;
    case icMultiSelect:
        k.rect(0.1, 0.1, 0.45, 0.45, 0.6);
        k.rect(0.45, 0.45, 0.45, 0.45);
        return;
    case icCloud:
        k.arc(0.28, 0.55, 0.16, 0.16, kPi / 2, 3 * kPi / 2, 13);
        k.arc(0.5, 0.4, 0.22, 0.22, kPi, 2 * kPi, 17);
        k.arc(0.72, 0.55, 0.16, 0.16, -kPi / 2, kPi / 2, 13);
        k.line(0.28, 0.71, 0.42, 0.71);
        k.line(0.58, 0.71, 0.72, 0.71);
        k.arrow(0.5, 0.48, 0.5, 0.94);
        return;
    }
}

}  // namespace

std::string_view iconName(IconKind kind)
{
    return size_t(kind) < kNames.size() ? kNames[kind] : std::string_view("icNone");
}

std::pair<double, double> iconPoint(double x, double y, const IconPen& pen)
{
    return {pen.originX + x * pen.size, pen.originY + y * pen.size};
}

void iconLine(double x1, double y1, double x2, double y2, double width, IconPen& pen)
{
    auto [ax, ay] = iconPoint(x1, y1, pen);
    auto [bx, by] = iconPoint(x2, y2, pen);
    drawLine(*pen.renderer, ax, ay, bx, by, width, pen.color);
}

void iconPolyline(const std::vector<std::pair<double, double>>& points, bool closed, double width, IconPen& pen)
{
    std::vector<std::pair<double, double>> mapped;
    mapped.reserve(points.size());
    for (auto [x, y] : points)
        mapped.push_back(iconPoint(x, y, pen));
    drawPolyline(*pen.renderer, mapped, width, pen.color, closed);
}

void iconPolygon(const std::vector<std::pair<double, double>>& points, IconPen& pen)
{
    std::vector<std::pair<double, double>> mapped;
    mapped.reserve(points.size());
    for (auto [x, y] : points)
        mapped.push_back(iconPoint(x, y, pen));
    fillConvexPolygon(*pen.renderer, mapped, pen.color);
}

void iconRectOutline(double x, double y, double w, double h, double width, IconPen& pen)
{
    auto [px, py] = iconPoint(x, y, pen);
    strokeRoundRect(*pen.renderer, {px, py, w * pen.size, h * pen.size}, 0.04 * pen.size, width, pen.color);
}

void iconRoundRect(double x, double y, double w, double h, IconPen& pen)
{
    auto [px, py] = iconPoint(x, y, pen);
    fillRoundRect(*pen.renderer, {px, py, w * pen.size, h * pen.size}, 0.03 * pen.size, pen.color);
}

void iconCircle(double cx, double cy, double r, double width, IconPen& pen)
{
    auto [px, py] = iconPoint(cx, cy, pen);
    strokeCircle(*pen.renderer, px, py, r * pen.size, width, pen.color);
}

void iconDot(double cx, double cy, double r, IconPen& pen)
{
    auto [px, py] = iconPoint(cx, cy, pen);
    fillCircle(*pen.renderer, px, py, r * pen.size, pen.color);
}

void iconArrow(double x1, double y1, double x2, double y2, IconPen& pen)
{
    double dx = x2 - x1, dy = y2 - y1;
    double length = std::sqrt(dx * dx + dy * dy);
    double ux = 0, uy = 0;
    if (length > 1e-9) {
        ux = dx / length;
        uy = dy / length;
    }
    iconLine(x1, y1, x2, y2, pen.stroke, pen);
    iconLine(x2, y2, x2 - 0.2 * ux - 0.12 * uy, y2 - 0.2 * uy + 0.12 * ux, pen.stroke, pen);
    iconLine(x2, y2, x2 - 0.2 * ux + 0.12 * uy, y2 - 0.2 * uy - 0.12 * ux, pen.stroke, pen);
}

void arcPoints(double cx, double cy, double r, double a0, double a1, IconPen& pen)
{
    for (int i = 0; i < 13; ++i) {
        double a = a0 + (a1 - a0) * i / 12;
        pen.points.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
}

void drawIcon(Renderer& r, IconKind kind, const Rect& rect, Color color, double scale)
{
    if (kind == icNone)
        return;
    IconPen pen;
    pen.size = std::isnan(rect.h) ? rect.w : std::min(rect.w, rect.h);
    pen.originX = rect.x + (rect.w - pen.size) * 0.5;
    pen.originY = rect.y + (rect.h - pen.size) * 0.5;
    double w = 0.085 * pen.size;
    pen.stroke = (w > 1 ? w : 1.0) * scale;
    pen.renderer = &r;
    pen.color = color;
    draw(kind, pen);
}

}  // namespace qm

#pragma once
// Line-art icons drawn as vector strokes into the renderer every frame: no
// textures, one colour, any size. Each is authored in a unit square and
// stroked with one width rule so all share the same weight.
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/render/renderer.h"

namespace qm {

// clang-format off
enum IconKind : uint8_t {
    icNone, icNew, icOpen, icSave, icUndo, icRedo, icCut, icCopy, icPaste, icDelete,
    icZoomIn, icZoomOut, icZoomFit, icPan, icSelect, icNodeEdit, icRect, icCircle, icEllipse, icPolygon,
    icStar, icPolyline, icBezier, icText, icArc, icDimension, icMove, icScale, icRotate, icMirrorH,
    icMirrorV, icAlign, icDistribute, icArray, icCircularArray, icOffset, icJoin, icWeld, icSubtract, icIntersect,
    icTrim, icFillet, icGroup, icUngroup, icProfile, icPocket, icDrill, icVCarve, icEngrave, icFluting,
    icInlay, icRough3D, icFinish3D, icTexture, icPrism, icSimulate, icPlay, icPause, icStop, icReset,
    icGcode, icSettings, icLayer, icEye, icEyeOff, icLock, icUnlock, icPlus, icMinus, icClose,
    icCheck, icChevronDown, icChevronRight, icChevronUp, icChevronLeft, icGrid, icRuler, icSnap, icView2D, icView3D,
    icViewTop, icViewIso, icViewFront, icViewSide, icMaterial, icTool, icComponent, icImport, icExport, icShape,
    icSculpt, icSmooth, icMirror3D, icSweep, icExtrude, icRope, icEmboss, icClipart, icJob, icOrigin,
    icInfo, icWarning, icSearch, icFolder, icDrag, icLaser, icLaserFill, icLaserPicture, icSheet, icMaterialDb,
    icMachine, icConsole, icHome, icProbe, icPlug, icPrint, icSpindle, icEdgeForm, icNotes, icListBullet,
    icListNumber, icListTask, icQuote, icCodeBlock, icRule, icTable, icImage, icLink, icIndent, icOutdent,
    icHelp, icPanelFloat, icPanelDock, icPanelPopOut, icMoulding, icWand, icThreadMill, icChamfer, icImageRelief,
    icSkipBack, icSkipForward, icClock, icAvoid, icReduceHeight, icFreehand, icSmartCut, icTabs, icMultiSelect,
    icCloud,
};
// clang-format on

inline constexpr int kIconKinds = 149;

// scale multiplies the stroke width (the toolkit passes 1).
void drawIcon(Renderer& r, IconKind kind, const Rect& rect, Color color, double scale);
std::string_view iconName(IconKind kind);

// The drawing state of one icon: the square it maps unit coordinates into.
struct IconPen {
    double originX = 0;
    double size = 0;
    double originY = 0;
    Renderer* renderer = nullptr;
    Color color;
    double stroke = 1;
    std::vector<std::pair<double, double>> points;  // scratch run for arcs and waves
};

std::pair<double, double> iconPoint(double x, double y, const IconPen& pen);
void iconLine(double x1, double y1, double x2, double y2, double width, IconPen& pen);
void iconPolyline(const std::vector<std::pair<double, double>>& points, bool closed, double width, IconPen& pen);
void iconPolygon(const std::vector<std::pair<double, double>>& points, IconPen& pen);
void iconRectOutline(double x, double y, double w, double h, double width, IconPen& pen);
void iconRoundRect(double x, double y, double w, double h, IconPen& pen);
void iconCircle(double cx, double cy, double r, double width, IconPen& pen);
void iconDot(double cx, double cy, double r, IconPen& pen);
void iconArrow(double x1, double y1, double x2, double y2, IconPen& pen);
void arcPoints(double cx, double cy, double r, double a0, double a1, IconPen& pen);

}  // namespace qm

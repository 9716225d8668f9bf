// Output, drawing and view-control functions. Each only decides where a call goes: a view
// program (an interpreter with a parent, owned by a view) acts on its own view; the main
// program (no parent) acts on the document. A call in the wrong kind of program does nothing
// and still yields its usual result.

#include <algorithm>
#include <optional>
#include <string>

#include "builtins.h"
#include "errors.h"
#include "format.h"
#include "values.h"

namespace tivane {

namespace {

ViewHost* OwnView(const CInterpreter& in) {
    return in.parent ? in.view : nullptr;
}

ViewHost* ViewOfKind(const CInterpreter& in, ViewKind kind) {
    ViewHost* v = OwnView(in);
    return v && v->Kind() == kind ? v : nullptr;
}

ViewHost* GraphicsView(const CInterpreter& in) {
    return ViewOfKind(in, ViewKind::Graphics);
}

bool IsMainProgram(const CInterpreter& in) {
    return in.parent == nullptr;
}

double D(CellIndex c) {
    return CellAt(c).d;
}
int32_t L(CellIndex c) {
    return CellAt(c).l;
}

// Sends text to the view program's own view.
void Output(ViewHost& view, const std::string& text) {
    if (view.Kind() == ViewKind::Text)
        view.AppendText(text);
    else
        view.OutputText(text);
}

} // namespace

TIVANE_HANDLER(BiPrint) {
    const CellIndex value = PopArg(stack, sp);
    if (ViewHost* view = OwnView(in)) {
        std::string text;
        if (!FormatValue(in, value, text)) {
            Release(value);
            return kNoCell;
        }
        Output(*view, text);
    }
    return value;
}

TIVANE_HANDLER(BiPrintF) {
    const CellIndex value = PopArg(stack, sp);
    const CellIndex format = PopArg(stack, sp);
    if (ViewHost* view = OwnView(in)) {
        std::string text;
        const std::string_view f = StrView(CellAt(format));
        if (!FormatValue(in, value, &f, text)) { // errors 22 and 23: nothing is printed
            Release(format);
            Release(value);
            return kNoCell;
        }
        Output(*view, text);
    }
    Release(format);
    return value;
}

TIVANE_HANDLER(BiPos) {
    Args<1> args(stack, sp);
    ViewHost* view = ViewOfKind(in, ViewKind::Text);
    return NewLong(in, view ? view->GetColumn() : 0);
}

void DrawMoveTo(CInterpreter& in, double x, double y) {
    if (ViewHost* v = GraphicsView(in)) v->DrawMoveTo(x, y);
}

void DrawLineTo(CInterpreter& in, double x, double y) {
    if (ViewHost* v = GraphicsView(in)) v->DrawLineTo(x, y);
}

void DrawRMoveTo(CInterpreter& in, double x, double y) {
    if (ViewHost* v = GraphicsView(in)) v->DrawMoveRel(x, y);
}

void DrawRLineTo(CInterpreter& in, double x, double y) {
    if (ViewHost* v = GraphicsView(in)) v->DrawLineRel(x, y);
}

namespace {

template <PointProcedure Draw>
CellIndex OnPoint(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    Args<2> args(stack, sp);
    Draw(in, D(args[0]), D(args[1]));
    return kNotValid;
}

} // namespace

TIVANE_HANDLER(BiMoveTo) {
    return OnPoint<DrawMoveTo>(in, stack, sp);
}
TIVANE_HANDLER(BiLineTo) {
    return OnPoint<DrawLineTo>(in, stack, sp);
}
TIVANE_HANDLER(BiRMoveTo) {
    return OnPoint<DrawRMoveTo>(in, stack, sp);
}
TIVANE_HANDLER(BiRLineTo) {
    return OnPoint<DrawRLineTo>(in, stack, sp);
}

TIVANE_HANDLER(BiFgrColor) {
    Args<3> args(stack, sp);
    if (ViewHost* v = GraphicsView(in)) v->SetForeColor(L(args[0]), L(args[1]), L(args[2]));
    return kNotValid;
}

TIVANE_HANDLER(BiBgrColor) {
    Args<3> args(stack, sp);
    if (ViewHost* v = GraphicsView(in)) v->SetBackColor(L(args[0]), L(args[1]), L(args[2]));
    return kNotValid;
}

TIVANE_HANDLER(BiPenSize) {
    Args<1> args(stack, sp);
    if (ViewHost* v = GraphicsView(in)) v->SetPenSize(D(args[0]));
    return kNotValid;
}

TIVANE_HANDLER(BiUpdFrequency) {
    Args<1> args(stack, sp);
    if (ViewHost* v = GraphicsView(in)) v->SetUpdateFrequency(L(args[0]));
    return kNotValid;
}

TIVANE_HANDLER(BiWindowExt) {
    Args<4> a(stack, sp);
    if (ViewHost* v = GraphicsView(in)) v->SetWorldWindow(D(a[0]), D(a[1]), D(a[2]), D(a[3]));
    return kNotValid;
}

TIVANE_HANDLER(BiClipWindow) {
    Args<4> a(stack, sp);
    if (ViewHost* v = GraphicsView(in)) {
        // The view refuses with 25 or 26 and keeps its clip window; the run then fails.
        if (const uint32_t error = v->SetClipWindow(L(a[0]), L(a[1]), L(a[2]), L(a[3]))) {
            SetError(in, error);
            return kNoCell;
        }
    }
    return kNotValid;
}

TIVANE_HANDLER(BiGetWinSize) {
    Args<1> args(stack, sp);
    ViewHost* v = GraphicsView(in);
    const int32_t index = std::clamp(L(args[0]), 0, 11);
    return NewDouble(in, v ? v->GetWindowValue(index) : 0.0);
}

TIVANE_HANDLER(BiChangeFont) {
    Args<3> a(stack, sp);
    if (ViewHost* v = OwnView(in)) v->ChangeFont(StrView(CellAt(a[0])), D(a[1]), L(a[2]));
    return kNotValid;
}

TIVANE_HANDLER(BiClearView) {
    Args<1> args(stack, sp);
    if (ViewHost* v = OwnView(in)) v->ClearView();
    return kNotValid;
}

TIVANE_HANDLER(BiOnUpdate) {
    Args<1> args(stack, sp);
    if (ViewHost* v = OwnView(in)) v->SetUpdateProgram(args[0]); // the view adds its own ref
    return kNotValid;
}

TIVANE_HANDLER(BiDisplayView) {
    Args<1> args(stack, sp);
    if (ViewHost* v = OwnView(in)) {
        if (v->Kind() == ViewKind::Text)
            v->ShowText();
        else
            v->UpdateNow();
    } else if (IsMainProgram(in)) {
        in.document->DisplayViews();
    }
    return kNotValid;
}

TIVANE_HANDLER(BiGetConfig) {
    Args<1> args(stack, sp);
    if (ViewHost* v = OwnView(in)) return NewString(in, v->SetupText());
    return NewString(in, in.document->MainInput());
}

TIVANE_HANDLER(BiSetConfig) {
    Args<1> args(stack, sp);
    const std::string_view text = StrView(CellAt(args[0]));
    if (ViewHost* v = OwnView(in))
        v->SetSetupText(text);
    else
        in.document->SetConfig(text);
    return kNotValid;
}

TIVANE_HANDLER(BiSendMsg) {
    Args<1> args(stack, sp);
    in.document->ShowMessage(StrView(CellAt(args[0])));
    return kNotValid;
}

// The document walks report success or failure, but programs are not told: a failure inside
// a view is that view's to report and does not stop the main program.
TIVANE_HANDLER(BiUpdateViews) {
    Args<1> args(stack, sp);
    if (IsMainProgram(in)) in.document->UpdateViews();
    return kNotValid;
}

TIVANE_HANDLER(BiExecViewTemplates) {
    Args<1> args(stack, sp);
    if (IsMainProgram(in)) in.document->ExecViewTemplates();
    return kNotValid;
}

TIVANE_HANDLER(BiForAllViews) {
    Args<1> args(stack, sp);
    if (IsMainProgram(in)) in.document->ForAllViews(StrView(CellAt(args[0])));
    return kNotValid;
}

TIVANE_HANDLER(BiGetUserInput) {
    Args<1> args(stack, sp);
    const std::optional<std::string> answer =
        in.document->dialogs().GetUserInput(StrView(CellAt(args[0])), "");
    return NewString(in, answer.value_or(std::string()));
}

TIVANE_HANDLER(BiAskUserYesNo) {
    Args<1> args(stack, sp);
    return NewLong(in, in.document->dialogs().AskYesNo(StrView(CellAt(args[0]))) ? -1 : 0);
}

} // namespace tivane

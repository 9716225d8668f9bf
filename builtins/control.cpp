// Control and program functions: branching, looping and loading run PROGRAM values; PUSH and
// POP keep a value stack per interpreter; CLEAR, SAVEVALUE and GETFUNCDEF name objects of the
// interpreter by program text.

#include <cstdio>
#include <string>

#include "builtins.h"
#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "openfile.h"
#include "sources.h"
#include "values.h"

namespace tivane {

namespace {

// Runs a PROGRAM argument and drops the caller's reference to it.
CellIndex RunAndRelease(CInterpreter& in, CellIndex program) {
    const CellIndex result = RunHeld(in, program);
    Release(program);
    return result;
}

// What a name argument selects: the last item of the compiled text.
struct NamedObject {
    uint16_t kind = 0; // TOK_VARIABLE, TOK_ARRAY, TOK_USERFUNC, or 0 for anything else
    int32_t number = -1;
    bool all = false; // the empty text: every own object
};

// Compiles the name in the calling interpreter (new names are entered as a side effect).
bool ResolveName(CInterpreter& in, CellIndex name, NamedObject& object) {
    const CellIndex program = Compile(in, StrView(CellAt(name)));
    if (program == kNoCell) return false;
    const ProgramBlock* block = CellAt(program).prog;
    if (block->count == 0) {
        object.all = true;
    } else {
        const ValueCell& last = CellAt(block->items[block->count - 1]);
        if (last.type == TOK_VARIABLE || last.type == TOK_ARRAY || last.type == TOK_USERFUNC) {
            object.kind = last.type;
            object.number = last.number;
        }
    }
    Release(program);
    return true;
}

// The parameter names in definition order, separated by ",".
std::string ParameterList(const CInterpreter& in, const UserFunction& f) {
    std::string text;
    for (size_t k = f.params.size(); k > 0; --k) {
        if (k != f.params.size()) text += ',';
        text += in.variableNames[f.params[k - 1]];
    }
    return text;
}

// "f(a,b):=" followed by the body's listing.
bool FunctionDefinition(CInterpreter& in, const UserFunction& f, std::string& text) {
    std::string body;
    if (!FormatValue(in, f.body, body)) return false;
    text = f.name + "(" + ParameterList(in, f) + "):=" + body;
    return true;
}

bool Saveable(CellIndex v) {
    const uint16_t t = CellAt(v).type;
    return t != TYPE_NOTVALID && t != TYPE_FILEID;
}

class ValueSaver {
public:
    ValueSaver(CInterpreter& in, std::FILE* stream) : m_in(in), m_stream(stream) {}

    bool Variable(int32_t v) {
        const CellIndex value = m_in.variableValues[v];
        if (!Saveable(value)) return true;
        std::string text;
        if (!FormatValue(m_in, value, text)) return false;
        std::fprintf(m_stream, "%s:=%s;\n", m_in.variableNames[v].c_str(), text.c_str());
        return true;
    }

    bool Array(int32_t a) {
        const ArrayEntry& arr = m_in.arrays[a];
        std::string text;
        for (int32_t i = 0; i < arr.slotCount; ++i) {
            if (!Saveable(arr.Read(i))) continue;
            if (!FormatValue(m_in, arr.Read(i), text)) return false;
            std::fprintf(m_stream, "%s[%lu]:=%s;\n", arr.name.c_str(),
                         static_cast<unsigned long>(i), text.c_str());
        }
        return true;
    }

    bool Function(int32_t f) {
        const UserFunction& fn = m_in.functions[f];
        if (fn.body == kNotValid) return true;
        std::string text;
        if (!FunctionDefinition(m_in, fn, text)) return false;
        std::fprintf(m_stream, "%s\n", text.c_str());
        return true;
    }

private:
    CInterpreter& m_in;
    std::FILE* m_stream;
};

bool SaveObjects(CInterpreter& in, std::FILE* stream, const NamedObject& object) {
    ValueSaver saver(in, stream);
    if (object.all) {
        for (size_t v = 0; v < in.variableValues.size(); ++v) {
            if (!saver.Variable(static_cast<int32_t>(v))) return false;
        }
        for (size_t a = 0; a < in.arrays.size(); ++a) {
            if (!saver.Array(static_cast<int32_t>(a))) return false;
        }
        for (size_t f = 0; f < in.functions.size(); ++f) {
            if (!saver.Function(static_cast<int32_t>(f))) return false;
        }
        return true;
    }
    switch (object.kind) {
    case TOK_VARIABLE:
        return saver.Variable(object.number);
    case TOK_ARRAY:
        return saver.Array(object.number);
    case TOK_USERFUNC:
        return saver.Function(object.number);
    default:
        return true;
    }
}

} // namespace

TIVANE_HANDLER(BiIf) {
    const CellIndex otherwise = PopArg(stack, sp);
    const CellIndex then = PopArg(stack, sp);
    const CellIndex condition = PopArg(stack, sp);
    const bool yes = CellAt(condition).l != 0;
    const CellIndex chosen = yes ? then : otherwise;
    Release(yes ? otherwise : then);
    Release(condition);
    if (CellAt(chosen).type == TYPE_PROGRAM) return RunAndRelease(in, chosen);
    return chosen;
}

TIVANE_HANDLER(BiWhile) {
    const CellIndex body = PopArg(stack, sp);
    const CellIndex condition = PopArg(stack, sp);
    const bool ok = RunWhileLoop(in, condition, body);
    Release(body);
    Release(condition);
    return ok ? kNotValid : kNoCell;
}

TIVANE_HANDLER(BiExecute) {
    const CellIndex arg = PopArg(stack, sp);
    if (CellAt(arg).type == TYPE_PROGRAM) return RunAndRelease(in, arg);
    // Remembered in the interpreter's own slot, so that a report can point into this text.
    const CellIndex program =
        CompileSource(in, {&in, 1}, "Text run by EXECUTE", StrView(CellAt(arg)));
    Release(arg);
    if (program == kNoCell) return kNoCell;
    // The error trace holds its own reference, so a failed program stays listable for the
    // report even though it is released here.
    return RunAndRelease(in, program);
}

TIVANE_HANDLER(BiAbort) {
    const CellIndex message = PopArg(stack, sp);
    in.document->ShowMessage(StrView(CellAt(message)));
    Release(message);
    SetError(in, ERR_ABORT);
    return kNoCell;
}

TIVANE_HANDLER(BiPush) {
    const CellIndex value = PopArg(stack, sp);
    if (in.pushStack.Count() >= kMaxPushEntries) {
        Release(value);
        SetError(in, ERR_NO_MEMORY);
        return kNoCell;
    }
    AddRef(value);
    in.pushStack.Push(value);
    return value;
}

TIVANE_HANDLER(BiPop) {
    Release(PopArg(stack, sp));
    CellIndex value;
    if (!in.pushStack.Pop(value)) return kNotValid;
    return value; // the entry's reference passes to the result
}

TIVANE_HANDLER(BiClear) {
    const CellIndex name = PopArg(stack, sp);
    NamedObject object;
    const bool ok = ResolveName(in, name, object);
    Release(name);
    if (!ok) return kNoCell;
    if (object.all) {
        // Functions keep their names, argument counts and parameters; only bodies go.
        for (size_t f = 0; f < in.functions.size(); ++f)
            in.ClearFunction(static_cast<int32_t>(f));
        for (size_t v = 0; v < in.variableValues.size(); ++v)
            in.ClearVariable(static_cast<int32_t>(v));
        for (size_t a = 0; a < in.arrays.size(); ++a)
            in.ClearArray(static_cast<int32_t>(a));
    } else if (object.kind == TOK_VARIABLE) {
        in.ClearVariable(object.number);
    } else if (object.kind == TOK_ARRAY) {
        in.ClearArray(object.number);
    } else if (object.kind == TOK_USERFUNC) {
        in.ClearFunction(object.number);
    }
    return kNotValid;
}

TIVANE_HANDLER(BiSaveValue) {
    const CellIndex name = PopArg(stack, sp);
    const CellIndex file = PopArg(stack, sp);
    std::FILE* stream = CellAt(file).file->stream;
    NamedObject object;
    bool ok = stream != nullptr;
    if (!ok) SetError(in, ERR_INVALID_TYPE); // the file was closed through another copy
    if (ok) ok = ResolveName(in, name, object) && SaveObjects(in, stream, object);
    Release(name);
    Release(file);
    return ok ? kNotValid : kNoCell;
}

TIVANE_HANDLER(BiGetFuncDef) {
    const CellIndex name = PopArg(stack, sp);
    NamedObject object;
    const bool ok = ResolveName(in, name, object);
    Release(name);
    if (!ok) return kNoCell;
    std::string text;
    if (object.kind == TOK_USERFUNC && in.functions[object.number].body != kNotValid) {
        if (!FunctionDefinition(in, in.functions[object.number], text)) return kNoCell;
    }
    return NewString(in, text);
}

} // namespace tivane

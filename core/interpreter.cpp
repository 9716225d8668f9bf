#include "interpreter.h"

#include <algorithm>
#include <new>

#include "compiler.h"
#include "errors.h"
#include "evaluator.h"

namespace tivane {

DocumentHost::~DocumentHost() = default;
ViewHost::~ViewHost() = default;

namespace {
uint32_t g_nextSerial = 1;
}

CInterpreter::CInterpreter(DocumentHost& doc) : serial(g_nextSerial++), document(&doc) {
    Pool().EnsureNotValid();
}

CInterpreter::CInterpreter(CInterpreter& parentInterpreter, ViewHost& ownerView)
    : serial(g_nextSerial++), parent(&parentInterpreter), view(&ownerView),
      document(&ownerView.Document()) {
    Pool().EnsureNotValid();
}

CInterpreter::~CInterpreter() {
    for (UserFunction& f : functions)
        Release(f.body);
    for (CellIndex v : variableValues)
        Release(v);
    for (ArrayEntry& a : arrays) {
        for (CellIndex v : a.slots)
            Release(v);
        Pool().GiveBytes(a.budgetBytes);
    }
    CellIndex v;
    while (pushStack.Pop(v))
        Release(v);
}

namespace {

template <typename Table, typename Make>
int32_t Append(Table& table, NameIndex& index, const std::string& name, Make make) {
    if (table.size() >= static_cast<size_t>(kMaxTableEntries)) return -1;
    try {
        const auto number = static_cast<int32_t>(table.size());
        table.push_back(make());
        index.Add(name, number);
        return number;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

} // namespace

int32_t CInterpreter::AddVariable(const std::string& name) {
    if (variableValues.size() >= static_cast<size_t>(kMaxTableEntries)) return -1;
    try {
        variableNames.reserve(variableNames.size() + 1);
        variableValues.reserve(variableValues.size() + 1);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    const int32_t n = Append(variableNames, variableIndex, name, [&] { return name; });
    if (n >= 0) variableValues.push_back(kNotValid);
    return n;
}

int32_t CInterpreter::AddArray(const std::string& name) {
    return Append(arrays, arrayIndex, name, [&] { return ArrayEntry{name, 0, {}}; });
}

int32_t CInterpreter::AddFunction(const std::string& name) {
    return Append(functions, functionIndex, name, [&] {
        return UserFunction{name, -1, kNotValid, {}};
    });
}

void CInterpreter::ClearVariable(int32_t v) {
    const CellIndex old = variableValues[v];
    variableValues[v] = kNotValid;
    Release(old);
}

void CInterpreter::ClearArray(int32_t a) {
    std::vector<CellIndex> old;
    old.swap(arrays[a].slots);
    arrays[a].slotCount = 0;
    Pool().GiveBytes(arrays[a].budgetBytes);
    arrays[a].budgetBytes = 0;
    for (CellIndex v : old)
        Release(v);
}

void CInterpreter::ClearFunction(int32_t f) {
    const CellIndex old = functions[f].body;
    functions[f].body = kNotValid;
    Release(old);
}

bool CInterpreter::StoreElement(int32_t a, int32_t i, CellIndex value) {
    ArrayEntry& arr = arrays[a];
    if (i < 0) {
        SetError(*this, ERR_NO_MEMORY);
        return false;
    }
    if (i >= arr.slotCount) {
        // The smallest multiple of 2048 above i.
        const int64_t slots = (static_cast<int64_t>(i) / kArraySlotStep + 1) * kArraySlotStep;
        if (slots > kMaxArraySlots) {
            SetError(*this, ERR_NO_MEMORY);
            return false;
        }
        // Storage grows geometrically while the visible slot count keeps its 2048 steps.
        const size_t wanted = static_cast<size_t>(slots);
        size_t capacity = arr.budgetBytes / sizeof(CellIndex);
        if (wanted > capacity) {
            capacity =
                std::max(wanted, std::min(2 * capacity, static_cast<size_t>(kMaxArraySlots)));
            const size_t bytes = capacity * sizeof(CellIndex);
            if (!Pool().TakeBytes(bytes - arr.budgetBytes)) {
                SetError(*this, ERR_NO_MEMORY);
                return false;
            }
            try {
                arr.slots.reserve(capacity);
            } catch (const std::bad_alloc&) {
                Pool().GiveBytes(bytes - arr.budgetBytes);
                SetError(*this, ERR_NO_MEMORY);
                return false;
            }
            arr.budgetBytes = bytes;
        }
        arr.slots.resize(wanted, kNotValid);
        arr.slotCount = static_cast<int32_t>(slots);
    }
    const CellIndex old = arr.slots[i];
    arr.slots[i] = value;
    Release(old);
    return true;
}

bool CheckAssignable(CInterpreter& in, bool toParent, uint16_t type) {
    if (!(type & MASK_ANY)) {
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    if (toParent && type == TYPE_PROGRAM) {
        SetError(in, ERR_PROGRAM_TO_PARENT);
        return false;
    }
    return true;
}

const char* DefaultProgramName(const CInterpreter& in) {
    if (!in.parent) return "default.prg";
    return in.view->Kind() == ViewKind::Text ? "defaultt.prg" : "defaultg.prg";
}

void RunDefaultProgram(CInterpreter& in) {
    DocumentHost& doc = *in.document;
    if (!doc.RunsDefaultPrograms()) return;
    std::string name = DefaultProgramName(in);
    doc.LocateFile(name, "");
    const std::string text = doc.ReadTextFile(name, ReadFailure::Report);
    const CellIndex program = Compile(in, text);
    if (program != kNoCell) {
        const CellIndex result = Run(in, program);
        Release(program);
        if (result != kNoCell) {
            Release(result);
            return;
        }
    }
    const uint32_t code = doc.errorCode;
    // A Stop that lands in a default program is reported once, by the run the user stopped;
    // the code stays set and ends that run too.
    if (code == ERR_USER_STOP) return;
    if (auto report = ErrorReport(in)) doc.ShowErrorReport(*report, code);
}

} // namespace tivane

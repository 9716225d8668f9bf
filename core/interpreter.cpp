#include "interpreter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <utility>

#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "sources.h"

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
    ForgetSources(this);
    for (UserFunction& f : functions)
        Release(f.body);
    for (CellIndex v : variableValues)
        Release(v);
    for (size_t a = 0; a < arrays.size(); ++a)
        ClearArray(static_cast<int32_t>(a));
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
    return Append(arrays, arrayIndex, name, [&] {
        ArrayEntry entry;
        entry.name = name;
        return entry;
    });
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

void CInterpreter::ClearFunction(int32_t f) {
    const CellIndex old = functions[f].body;
    functions[f].body = kNotValid;
    Release(old);
}

namespace {

constexpr size_t kBlockBytes = kArraySlotStep * sizeof(CellIndex);

// Zeroed storage for `capacity` slots holding the written blocks of the old storage.
CellIndex* Regrow(const ArrayEntry& arr, size_t capacity) {
    auto* grown = static_cast<CellIndex*>(std::calloc(capacity, sizeof(CellIndex)));
    if (!grown) return nullptr;
    for (size_t b = 0; b < arr.written.size(); ++b) {
        if (arr.written[b])
            std::memcpy(grown + b * kArraySlotStep, arr.slots.get() + b * kArraySlotStep,
                        kBlockBytes);
    }
    return grown;
}

} // namespace

void CInterpreter::ClearArray(int32_t a) {
    ArrayEntry& arr = arrays[a];
    for (size_t b = 0; b < arr.written.size(); ++b) {
        if (!arr.written[b]) continue;
        for (size_t k = b * kArraySlotStep; k < (b + 1) * kArraySlotStep; ++k)
            Release(std::exchange(arr.slots.get()[k], kNotValid));
    }
    arr.slots.reset();
    arr.capacity = 0;
    arr.written.clear();
    arr.slotCount = 0;
    Pool().GiveBytes(arr.budgetBytes);
    arr.budgetBytes = 0;
}

bool CInterpreter::StoreElement(int32_t a, int32_t i, CellIndex value) {
    ArrayEntry& arr = arrays[a];
    // The smallest multiple of 2048 above i.
    const int64_t slots = (static_cast<int64_t>(i) / kArraySlotStep + 1) * kArraySlotStep;
    if (i < 0 || slots > kMaxArraySlots) {
        SetError(*this, ERR_NO_MEMORY);
        return false;
    }
    const size_t block = static_cast<size_t>(i) / kArraySlotStep;
    const bool firstWrite = !arr.Written(block);
    if (firstWrite) {
        try {
            if (block >= arr.written.size()) arr.written.resize(block + 1, false);
        } catch (const std::bad_alloc&) {
            SetError(*this, ERR_NO_MEMORY);
            return false;
        }
        if (!Pool().TakeBytes(kBlockBytes)) {
            SetError(*this, ERR_NO_MEMORY);
            return false;
        }
    }
    const auto wanted = static_cast<size_t>(slots);
    if (wanted > arr.capacity) {
        const size_t capacity =
            std::max(wanted, std::min(2 * arr.capacity, static_cast<size_t>(kMaxArraySlots)));
        CellIndex* grown = Regrow(arr, capacity);
        if (!grown) {
            if (firstWrite) Pool().GiveBytes(kBlockBytes);
            SetError(*this, ERR_NO_MEMORY);
            return false;
        }
        arr.slots.reset(grown);
        arr.capacity = capacity;
    }
    if (slots > arr.slotCount) arr.slotCount = static_cast<int32_t>(slots);
    if (firstWrite) {
        arr.written[block] = true;
        arr.budgetBytes += kBlockBytes;
    }
    CellIndex& slot = arr.slots.get()[i];
    const CellIndex old = slot;
    slot = value;
    Release(old);
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
    const CellIndex program = CompileSource(
        in, {&in, 0}, "Default program file " + std::filesystem::path(name).filename().string(),
        text);
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
    std::string details;
    if (auto report = ErrorReport(in, &details)) doc.ShowErrorReport(*report, code, details);
}

} // namespace tivane

#pragma once
// One program environment: name tables, the PUSH/POP stack, the source of the last compile,
// and the links to the parent interpreter, the owner and the document whose error fields it
// reports through.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cellpool.h"
#include "errors.h"
#include "hosts.h"
#include "recordstack.h"

namespace tivane {

// 16-bit signed counts and positions bound every table, item list and source text.
inline constexpr int32_t kMaxTableEntries = 32767;
inline constexpr size_t kMaxSourceLength = 32767;

// The largest slot count an array may reach.
inline constexpr int32_t kMaxArraySlots = 16000000;
inline constexpr int32_t kArraySlotStep = 2048;

// PUSH refuses beyond this many entries ("Not enough memory"): a loop that pushes one value
// again and again would otherwise grow the stack without bound.
inline constexpr size_t kMaxPushEntries = 16u * 1024 * 1024;

struct UserFunction {
    std::string name;
    int16_t nargs = -1;          // -1 until the first call site or definition fixes it
    CellIndex body = kNotValid;  // the PROGRAM body; kNotValid while undefined
    std::vector<int16_t> params; // variable numbers, the last parameter first
};

struct ArrayEntry {
    std::string name;
    int32_t slotCount = 0; // what programs see: 0, then a multiple of 2048

    // Slot i, read as an unsigned number: NOT VALID beyond the slot count.
    CellIndex Read(int32_t i) const {
        const auto u = static_cast<uint32_t>(i);
        return u < static_cast<uint32_t>(slotCount) ? slots.get()[u] : kNotValid;
    }
    // Whether any slot of block b (kArraySlotStep slots) was ever written.
    bool Written(size_t b) const { return b < written.size() && written[b]; }

    // The storage comes zeroed from the system, and zero is NOT VALID: slots never written
    // cost no memory, their pages staying untouched. Capacity may run ahead of the slot count
    // so that growth in 2048-slot steps costs amortised constant time per element.
    struct Free {
        void operator()(CellIndex* p) const { std::free(p); }
    };
    std::unique_ptr<CellIndex, Free> slots;
    size_t capacity = 0;
    // Blocks ever written; the memory budget is charged a block's bytes when it is first
    // written, which is when its memory is first used.
    std::vector<bool> written;
    size_t budgetBytes = 0;
};

// A name table that finds entries by name in constant time.
class NameIndex {
public:
    int32_t Find(const std::string& name) const {
        auto it = m_index.find(name);
        return it == m_index.end() ? -1 : it->second;
    }
    void Add(const std::string& name, int32_t number) { m_index.emplace(name, number); }

private:
    std::unordered_map<std::string, int32_t> m_index;
};

// Constructing an interpreter runs nothing: its default program runs in a separate step
// (RunDefaultProgram), once its owner has stored it where a message pass or a nested run
// will find it.
class CInterpreter {
public:
    // The document's main interpreter (no parent; the owner is the document).
    explicit CInterpreter(DocumentHost& document);
    // A view's interpreter; its parent is the document's main interpreter.
    CInterpreter(CInterpreter& parent, ViewHost& view);
    ~CInterpreter();
    CInterpreter(const CInterpreter&) = delete;
    CInterpreter& operator=(const CInterpreter&) = delete;

    // A process-wide serial number: programs remember the interpreter that compiled them,
    // because their items are numbers in its tables.
    const uint32_t serial;

    CInterpreter* parent = nullptr;
    ViewHost* view = nullptr; // the owner of a view's interpreter
    DocumentHost* document = nullptr;

    std::vector<UserFunction> functions;
    NameIndex functionIndex;

    std::vector<std::string> variableNames;
    std::vector<CellIndex> variableValues; // each holds one reference
    NameIndex variableIndex;

    std::vector<ArrayEntry> arrays;
    NameIndex arrayIndex;

    RecordStack<CellIndex> pushStack; // PUSH/POP; each entry holds one reference

    std::string source; // normalised copy of the last compiled text
    int32_t position = 0;

    // Own-table lookups; -1 when absent.
    int32_t FindVariable(const std::string& name) const { return variableIndex.Find(name); }
    int32_t FindArray(const std::string& name) const { return arrayIndex.Find(name); }
    int32_t FindFunction(const std::string& name) const { return functionIndex.Find(name); }

    // Appends a new entry; -1 when the table is full (the compiler then sets error 3).
    int32_t AddVariable(const std::string& name);
    int32_t AddArray(const std::string& name);
    int32_t AddFunction(const std::string& name);

    // Releases the held values, leaving the names (CLEAR).
    void ClearVariable(int32_t v);
    void ClearArray(int32_t a);
    void ClearFunction(int32_t f);

    // Stores `value` (whose reference passes to the table) into slot i of array a, growing
    // the array. False with error 3 set when i is beyond the limit or memory runs out; the
    // value's reference then stays with the caller.
    bool StoreElement(int32_t a, int32_t i, CellIndex value);
};

// Sets the document's error code (the one place that writes it on failure paths).
inline void SetError(CInterpreter& in, uint32_t code) {
    in.document->errorCode = code;
}

// Whether a value of `type` may be assigned: any value to an own variable or array, anything
// but a PROGRAM to the parent's. Sets the error when not.
inline bool CheckAssignable(CInterpreter& in, bool toParent, uint16_t type) {
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

// Stores `value` (whose reference passes to the variable) into variable v of `owner`.
inline void StoreVariable(CInterpreter& owner, uint32_t v, CellIndex value) {
    const CellIndex old = owner.variableValues[v];
    owner.variableValues[v] = value;
    Release(old);
}

// The default program file of an interpreter's kind of owner.
const char* DefaultProgramName(const CInterpreter& in);

// Locates, reads, compiles and runs the default program; reports its failures in a message
// box once. Nothing when the document asked for no default programs. The program may pump
// messages and re-enter the document (EXECVIEWTEMPLATES): the caller runs it once, right
// after making the interpreter and storing it, with the document's run guard held.
void RunDefaultProgram(CInterpreter& in);

} // namespace tivane

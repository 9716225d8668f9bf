#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cellpool.h"
#include "drawlist.h"
#include "filefuzz.h"
#include "graphmodel.h"

namespace tivane::fuzz {

namespace {

// Large enough for any list the fuzzer's inputs can describe, small enough that a runaway
// would show up as a refusal instead of eating the machine.
constexpr size_t kGenerousBudget = size_t{256} << 20;

[[noreturn]] void Fail(const char* what, long long a = 0, long long b = 0) {
    std::fprintf(stderr, "draw list invariant broken: %s (%lld, %lld)\n", what, a, b);
    std::abort();
}

void Check(bool ok, const char* what, long long a = 0, long long b = 0) {
    if (!ok) Fail(what, a, b);
}

// The file format read independently of the reader: a little-endian 32-bit count, the codes,
// the operands, then for each string item in order a 16-bit length and its bytes.
uint32_t ReadU32(std::string_view in, size_t at) {
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(in[at + k])) << (8 * k);
    return v;
}

// Items the list holds must be the file's: codes and operands as stored, strings up to their
// first NUL byte.
void CheckAgainstFile(const DrawList& list, std::string_view file) {
    const int32_t n = static_cast<int32_t>(ReadU32(file, 0));
    Check(list.Count() == n, "item count differs from the file's", list.Count(), n);
    const size_t count = static_cast<size_t>(n);
    size_t at = 4 + 5 * count;
    bool drawing = false;
    for (int32_t i = 0; i < n; ++i) {
        const auto code = static_cast<uint8_t>(file[4 + static_cast<size_t>(i)]);
        Check(list.Code(i) == code, "code differs from the file's", i, list.Code(i));
        drawing = drawing || IsDrawingCode(code);
        if (!IsStringCode(code)) {
            const auto operand = static_cast<int32_t>(ReadU32(file, 4 + count + 4 * size_t(i)));
            Check(list.Operand(i) == operand, "operand differs from the file's", i,
                  list.Operand(i));
            continue;
        }
        Check(at + 2 <= file.size(), "string length past the end was accepted", i);
        const size_t length = static_cast<uint8_t>(file[at]) |
                              (static_cast<size_t>(static_cast<uint8_t>(file[at + 1])) << 8);
        at += 2;
        Check(at + length <= file.size(), "string past the end was accepted", i);
        std::string_view text = file.substr(at, length);
        text = text.substr(0, text.find('\0'));
        Check(list.Text(i) == text, "string differs from the file's", i,
              static_cast<long long>(list.Text(i).size()));
        at += length;
    }
    Check(list.HasDrawingItems() == drawing, "drawing-item flag wrong", drawing);
}

// `copy` was read from what `list` saved: the same items, strings cut to the saved length.
void CheckSameItems(const DrawList& list, const DrawList& copy) {
    Check(copy.Count() == list.Count(), "saved list has another count", list.Count(), copy.Count());
    for (int32_t i = 0; i < list.Count(); ++i) {
        Check(copy.Code(i) == list.Code(i), "saved list has another code", i, copy.Code(i));
        if (IsStringCode(list.Code(i))) {
            const std::string& s = list.Text(i);
            Check(copy.Text(i) == std::string_view(s).substr(0, kMaxSavedString),
                  "saved list has another string", i, static_cast<long long>(s.size()));
        } else {
            Check(copy.Operand(i) == list.Operand(i), "saved list has another operand", i,
                  copy.Operand(i));
        }
    }
    Check(copy.HasDrawingItems() == list.HasDrawingItems(), "saved list lost its drawing flag");
}

// FNV-1a: picks a budget shortfall that depends on the input, so the fuzzer can steer it.
uint64_t Hash(std::string_view bytes) {
    uint64_t h = 1469598103934665603ull;
    for (const char c : bytes)
        h = (h ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    return h;
}

void SetUpOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    Pool().SetByteLimit(kGenerousBudget);
}

} // namespace

void RunDrawListInput(const uint8_t* data, size_t size) {
    SetUpOnce();
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const size_t start = Pool().BytesUsed();
    size_t needed = 0;
    {
        std::optional<DrawList> list = DrawList::Parse(file);
        if (!list) {
            Check(Pool().BytesUsed() == start, "refused file kept budget bytes",
                  static_cast<long long>(start), static_cast<long long>(Pool().BytesUsed()));
            return;
        }
        needed = Pool().BytesUsed() - start;
        CheckAgainstFile(*list, file);

        const std::string saved = list->Serialize();
        {
            const std::optional<DrawList> again = DrawList::Parse(saved);
            Check(again.has_value(), "a saved list does not parse",
                  static_cast<long long>(saved.size()));
            CheckSameItems(*list, *again);
            Check(again->Serialize() == saved, "saving the reread list gives other bytes");
        }
        Check(Pool().BytesUsed() == start + needed, "reread list kept budget bytes",
              static_cast<long long>(start + needed), static_cast<long long>(Pool().BytesUsed()));

        // What a graphics view does with a loaded picture: replace what its model held (the
        // defaults of a fresh picture here), then draw on.
        GraphModel model;
        model.RecordDefaults();
        const int32_t n = list->Count();
        const std::string before = list->Serialize();
        model.Load(std::move(*list));
        Check(list->Count() == 0 && !list->HasStorage(), "moved-from list still holds storage",
              list->Count());
        Check(Pool().BytesUsed() == start + needed, "the model's old list kept budget bytes",
              static_cast<long long>(start + needed), static_cast<long long>(Pool().BytesUsed()));
        Check(model.List().Serialize() == before, "the list changed when moved into a model");
        model.MoveTo(100, 100);
        model.LineTo(20000, 20000);
        model.OutputText("fuzz", 4);
        model.SetPenSize(2.5);
        Check(model.List().Count() == n + 4, "appending to a loaded list failed", n,
              model.List().Count());
        for (int32_t i = 0; i < n; ++i) {
            Check(model.List().Code(i) == static_cast<uint8_t>(before[4 + size_t(i)]),
                  "appending changed a loaded item", i);
        }

        // Clear All: the storage goes with the budget it took, so the next item takes again.
        model.ResetContents();
        Check(!model.List().HasStorage(), "a cleared list kept its storage");
        Check(Pool().BytesUsed() == start, "a cleared list kept budget bytes",
              static_cast<long long>(start), static_cast<long long>(Pool().BytesUsed()));
        model.LineTo(100, 100);
        Check(Pool().BytesUsed() > start, "an item after clearing took no budget");
    }
    Check(Pool().BytesUsed() == start, "destroyed lists kept budget bytes",
          static_cast<long long>(start), static_cast<long long>(Pool().BytesUsed()));

    // The same file under a budget of exactly what it needs loads the same list; under any
    // smaller budget it is refused, and either way every byte taken is given back.
    Pool().SetByteLimit(start + needed);
    {
        const std::optional<DrawList> exact = DrawList::Parse(file);
        Check(exact.has_value(), "refused within its budget", static_cast<long long>(needed));
        CheckAgainstFile(*exact, file);
    }
    Check(Pool().BytesUsed() == start, "list loaded within its budget kept bytes");
    if (needed > 0) {
        const size_t shortfall = 1 + Hash(file) % needed;
        Pool().SetByteLimit(start + needed - shortfall);
        const std::optional<DrawList> over = DrawList::Parse(file);
        Check(!over.has_value(), "loaded past the budget", static_cast<long long>(needed),
              static_cast<long long>(shortfall));
        Check(Pool().BytesUsed() == start, "list refused for its budget kept bytes",
              static_cast<long long>(start), static_cast<long long>(Pool().BytesUsed()));
    }
    Pool().SetByteLimit(kGenerousBudget);
}

} // namespace tivane::fuzz

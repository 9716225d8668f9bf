#pragma once
// A last-in-first-out list of fixed-size records, used by the compiler, the program lister,
// the error trace and PUSH/POP. Storage is one contiguous block that is reused, so pushing
// and popping do not allocate once the stack has reached its working size.

#include <cstddef>
#include <type_traits>
#include <vector>

namespace tivane {

template <typename Record>
class RecordStack {
    static_assert(std::is_trivially_copyable_v<Record>, "records are copied byte for byte");

public:
    void Push(const Record& r) { m_items.push_back(r); }

    // Copies the newest record out and removes it; on an empty stack fills `out` with zero
    // bytes and reports failure.
    bool Pop(Record& out) {
        if (m_items.empty()) {
            out = Record{};
            return false;
        }
        out = m_items.back();
        m_items.pop_back();
        return true;
    }

    size_t Count() const { return m_items.size(); }
    bool Empty() const { return m_items.empty(); }
    void Clear() { m_items.clear(); }

private:
    std::vector<Record> m_items;
};

} // namespace tivane
